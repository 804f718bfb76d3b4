// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window against the recording double: its controls and their filling from the
// settings file, the three starts with their tests and error texts in order, real loopback
// servers for the network starts, and the close box that writes nothing.
#include "shell/settings_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include "net/client.h"
#include "net/full_listener.h"
#include "net/server.h"
#include "platform/recording_window_services.h"

namespace tavlora {
namespace {

using testing::ElementsAre;
using Ids = SettingsControls;
namespace fs = std::filesystem;

constexpr int32_t Localhost = 16777343;  // 127.0.0.1, first number in the lowest byte
const char* const ErrorTitle = "Tavlora - Fehler";

// What the server's side of a test shows: nothing, it only answers.
class SilentView : public NetView {
public:
    void ShowPlayerRow(int) override {}
    void ShowFreeRow(int) override {}
    void MoveOwnRow(int, int) override {}
    void SetStartButtonEnabled(bool) override {}
    void AppendChatLine(const std::string&) override {}
    void ShowGamesStarted() override {}
    void GameMoved(Game&) override {}
    void DrawOffered(Game&) override {}
    void ShowNetworkError(const std::string&) override {}
};

// A port on which nothing listens: one the system just handed out and took back.
uint16_t UnusedPort() {
    Transport probe;
    EXPECT_TRUE(probe.Listen(0));
    const uint16_t port = probe.ListeningPort();
    probe.CloseAll();
    return port;
}

class SettingsWindowTest : public testing::Test {
protected:
    using Action = std::function<void()>;

    void SetUp() override {
        std::string folder = testing::TempDir() + "settings_window_XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        environment_ = {folder, "rechner"};
        state_.NetworkPort = 0;  // a server start takes any free port
    }
    void TearDown() override { fs::remove_all(environment_.AppDataFolder, ignored_); }

    // Runs the window; each idle pass performs the next action, everyPass runs in every idle
    // pass, and once the actions are done the close box follows, after a join that still
    // waits for the server has had its time.
    SettingsOutcome Run(std::vector<Action> actions, Action everyPass = {}) {
        size_t next = 0;
        int idle = 0;
        services_.OnIdle = [&] {
            if (everyPass) {
                everyPass();
            }
            if (next < actions.size()) {
                actions[next++]();
            } else if (state_.ServerConnection == NoConnection || ++idle == 3000) {
                services_.PressCloseBox(SettingsWindowId);
            }
        };
        return RunSettingsWindow(services_, state_, environment_);
    }

    // Switches to the field's tab, if it is on one, and types into it.
    Action Type(int field, std::string text) {
        return [this, field, text] {
            const ControlRecord* control = services_.Control(field);
            if (control->Parent == Ids::ModePanel) {
                services_.SelectTab(Ids::ModePanel, control->Page);
            }
            ASSERT_TRUE(services_.TypeText(field, text));
        };
    }
    // Switches to the button's tab and presses it.
    Action Press(int tab, int button) {
        return [this, tab, button] {
            services_.SelectTab(Ids::ModePanel, tab);
            ASSERT_TRUE(services_.Click(button));
        };
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : services_.MessageBoxes()) {
            EXPECT_EQ(box.Title, ErrorTitle);
            texts.push_back(box.Text);
        }
        return texts;
    }

    bool FileExists() const { return fs::exists(SettingsFilePath(environment_)); }
    void WriteFile(const std::string& bytes) const {
        fs::create_directories(fs::path(SettingsFilePath(environment_)).parent_path());
        std::ofstream(SettingsFilePath(environment_), std::ios::binary) << bytes;
    }
    Settings Saved() const { return LoadSettings(environment_); }

    RecordingWindowServices services_;
    ProgramState state_;
    SettingsEnvironment environment_;
    std::error_code ignored_;
};

TEST_F(SettingsWindowTest, FirstStartShowsTheDefaultsAndTheCloseBoxWritesNothing) {
    EXPECT_EQ(Run({}), SettingsOutcome::EndProgram);

    const WindowRecord* window = services_.Window(SettingsWindowId);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Title, "Tavlora - Einstellungen");
    EXPECT_TRUE(window->Centred);
    EXPECT_EQ(window->ClientW, 260);
    EXPECT_EQ(window->ClientH, 400);

    EXPECT_EQ(services_.Text(Ids::NameField), "rechner");
    EXPECT_EQ(services_.Text(Ids::Name2Field), "rechner");
    EXPECT_EQ(services_.State(Ids::ModePanel), ClientMode);
    EXPECT_EQ(services_.Text(Ids::MaxPlayerField), "8");
    for (int field : {Ids::TimeByPlayerField, Ids::TimeByMoveField, Ids::SingleTimeByPlayerField,
                      Ids::SingleTimeByMoveField}) {
        EXPECT_EQ(services_.Text(field), "0") << field;
    }
    EXPECT_EQ(services_.State(Ids::ServerIPField), Localhost);
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "");
    EXPECT_EQ(state_.PlayPhase, SettingsPhase);
    EXPECT_FALSE(FileExists());
    EXPECT_TRUE(services_.MessageBoxes().empty());
}

TEST_F(SettingsWindowTest, ControlsAreCreatedInOrderAtTheirPlaces) {
    Run({});
    struct Expected {
        int Id;  // -1 for a label, and for the controls of the search for lobbies
        ControlKind Kind;
        int Page;  // -1 outside the tab panel
        Rect Geometry;
        std::string Text;
        unsigned Options;
    };
    using K = ControlKind;
    const unsigned number = DigitsOnly | RightAligned;
    const Expected table[] = {
        {-1, K::Text, -1, {10, 13, 50, 15}, "Name:", 0},
        {Ids::NameField, K::TextField, -1, {60, 10, 190, 20}, "", 0},
        {Ids::ModePanel, K::TabPanel, -1, {10, 40, 240, 350}, "", 0},
        {-1, K::Text, 0, {18, 18, 200, 15}, "Maximale Anzahl Spieler:", 0},
        {-1, K::Text, 0, {18, 73, 200, 15}, "Maximale Spielzeit pro Spieler:", 0},
        {-1, K::Text, 0, {18, 128, 200, 15}, "Maximale Zeit pro Zug:", 0},
        {-1, K::Text, 0, {168, 98, 60, 15}, "Minuten", 0},
        {-1, K::Text, 0, {168, 153, 60, 15}, "Minuten", 0},
        {Ids::MaxPlayerField, K::TextField, 0, {18, 40, 200, 20}, "", DigitsOnly},
        {Ids::TimeByPlayerField, K::TextField, 0, {18, 95, 140, 20}, "", number},
        {Ids::TimeByMoveField, K::TextField, 0, {18, 150, 140, 20}, "", number},
        {Ids::StartServerButton, K::Button, 0, {38, 290, 160, 20}, "Server starten", 0},
        {-1, K::Text, 1, {18, 18, 200, 15}, "IP-Adresse Server:", 0},
        {Ids::ServerIPField, K::IPv4Field, 1, {18, 40, 200, 20}, "", 0},
        {Ids::ConnectButton, K::Button, 1, {38, 290, 160, 20}, "Zum Server verbinden", 0},
        {Ids::ConnectStatus, K::Text, 1, {38, 270, 160, 15}, "", Centred},
        {-1, K::Text, 1, {18, 73, 115, 15}, "Gefundene Server:", 0},
        {-1, K::Button, 1, {138, 70, 80, 20}, "Suchen", 0},
        {-1, K::ListBox, 1, {18, 95, 200, 160}, "", 0},
        {-1, K::Text, 2, {18, 18, 200, 15}, "Name 2. Spieler:", 0},
        {-1, K::Text, 2, {18, 73, 200, 15}, "Maximale Spielzeit pro Spieler:", 0},
        {-1, K::Text, 2, {18, 128, 200, 15}, "Maximale Zeit pro Zug:", 0},
        {-1, K::Text, 2, {168, 98, 60, 15}, "Minuten", 0},
        {-1, K::Text, 2, {168, 153, 60, 15}, "Minuten", 0},
        {Ids::Name2Field, K::TextField, 2, {18, 40, 200, 20}, "", 0},
        {Ids::SingleTimeByPlayerField, K::TextField, 2, {18, 95, 140, 20}, "", number},
        {Ids::SingleTimeByMoveField, K::TextField, 2, {18, 150, 140, 20}, "", number},
        {Ids::StartSingleButton, K::Button, 2, {38, 290, 160, 20}, "Spiel starten", 0},
    };
    const std::vector<const ControlRecord*> controls = services_.Controls(SettingsWindowId);
    ASSERT_EQ(controls.size(), std::size(table));
    for (size_t i = 0; i < controls.size(); ++i) {
        const Expected& expected = table[i];
        const ControlRecord& control = *controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " " << expected.Text);
        if (expected.Id >= 0) {
            EXPECT_EQ(control.Id, expected.Id);
        } else {
            EXPECT_GE(control.Id, FirstAssignedId);
        }
        EXPECT_EQ(control.Kind, expected.Kind);
        EXPECT_EQ(control.Parent, expected.Page < 0 ? -1 : Ids::ModePanel);
        if (expected.Page >= 0) {
            EXPECT_EQ(control.Page, expected.Page);
        }
        EXPECT_EQ(std::vector<int>({control.Geometry.X, control.Geometry.Y, control.Geometry.W,
                                    control.Geometry.H}),
                  std::vector<int>({expected.Geometry.X, expected.Geometry.Y, expected.Geometry.W,
                                    expected.Geometry.H}));
        if (expected.Kind != K::TextField) {
            EXPECT_EQ(control.Text, expected.Text);
        }
        EXPECT_EQ(control.Options, expected.Options);
        EXPECT_TRUE(control.Enabled);
    }
    EXPECT_THAT(services_.Control(Ids::ModePanel)->Items,
                ElementsAre("Server", "Client", "Einzelspieler"));
}

TEST_F(SettingsWindowTest, TheFileFillsTheFieldsAsItStands) {
    WriteFile(
        "Name = Anna\r\nPlayerMode = 0\r\nMaxPlayer = viele\r\nTimeByPlayer = 30\r\n"
        "TimeByMove = 2\r\nName2 = Bert\r\nServerIP = -939524086\r\n");
    Run({});
    EXPECT_EQ(services_.Text(Ids::NameField), "Anna");
    EXPECT_EQ(services_.State(Ids::ModePanel), ServerMode);
    EXPECT_EQ(services_.Text(Ids::MaxPlayerField), "0");
    EXPECT_EQ(services_.Text(Ids::TimeByPlayerField), "30");
    EXPECT_EQ(services_.Text(Ids::SingleTimeByPlayerField), "30");
    EXPECT_EQ(services_.Text(Ids::TimeByMoveField), "2");
    EXPECT_EQ(services_.Text(Ids::SingleTimeByMoveField), "2");
    EXPECT_EQ(services_.Text(Ids::Name2Field), "Bert");
    EXPECT_EQ(services_.State(Ids::ServerIPField), -939524086);  // 10.0.0.200
}

TEST_F(SettingsWindowTest, AModeTheFileShouldNotHoldLeavesTheClientTab) {
    WriteFile("PlayerMode = 7\r\n");
    Run({});
    EXPECT_EQ(services_.State(Ids::ModePanel), ClientMode);
}

TEST_F(SettingsWindowTest, ServerStartTestsItsInputsInOrder) {
    const SettingsOutcome outcome = Run({
        Type(Ids::NameField, ""),
        Type(Ids::MaxPlayerField, "1"),
        Press(ServerMode, Ids::StartServerButton),  // the name comes first
        Type(Ids::NameField, "Anna"),
        Press(ServerMode, Ids::StartServerButton),
        Type(Ids::MaxPlayerField, "128"),
        Press(ServerMode, Ids::StartServerButton),
        Type(Ids::MaxPlayerField, ""),
        Press(ServerMode, Ids::StartServerButton),
        Type(Ids::MaxPlayerField, "4294967298"),  // cut to 32 bits it would be 2
        Press(ServerMode, Ids::StartServerButton),
        Type(Ids::MaxPlayerField, "8"),
        Type(Ids::TimeByPlayerField, "35791395"),
        Press(ServerMode, Ids::StartServerButton),
        Type(Ids::TimeByPlayerField, "35791394"),
        Type(Ids::TimeByMoveField, "99999999999"),
        Press(ServerMode, Ids::StartServerButton),
    });
    EXPECT_EQ(outcome, SettingsOutcome::EndProgram);
    EXPECT_THAT(Messages(),
                ElementsAre("Name muss angegeben werden.",
                            "'Maximale Anzahl Spieler' darf nicht kleiner 2 sein.",
                            "'Maximale Anzahl Spieler' darf nicht größer als 127 sein.",
                            "'Maximale Anzahl Spieler' darf nicht kleiner 2 sein.",
                            "'Maximale Anzahl Spieler' darf nicht größer als 127 sein.",
                            "'Maximale Spielzeit pro Spieler' darf nicht größer als 35791394 sein.",
                            "'Maximale Zeit pro Zug' darf nicht größer als 35791394 sein."));
    EXPECT_EQ(state_.Network.ListeningPort(), 0);
    EXPECT_FALSE(FileExists());
    // The fields stay as typed.
    EXPECT_EQ(services_.Text(Ids::TimeByMoveField), "99999999999");
}

TEST_F(SettingsWindowTest, ServerStartOpensTheServerAndWritesItsKeys) {
    WriteFile("ServerIP = 5\r\n");
    const SettingsOutcome outcome = Run({
        Type(Ids::NameField, "   "),  // blanks only still count as a name
        Type(Ids::MaxPlayerField, "4"),
        Type(Ids::TimeByPlayerField, "10"),
        Type(Ids::TimeByMoveField, "2"),
        Press(ServerMode, Ids::StartServerButton),
    });
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_TRUE(Messages().empty());
    EXPECT_NE(state_.Network.ListeningPort(), 0);
    EXPECT_EQ(state_.OwnPlayerIndex, 0);
    EXPECT_EQ(state_.PlayerCount, 1);
    EXPECT_EQ(state_.MaxPlayer, 4);
    EXPECT_EQ(state_.TimeByPlayer, 10);
    EXPECT_EQ(state_.TimeByMove, 2);
    ASSERT_EQ(state_.Players.size(), 5u);
    EXPECT_EQ(state_.Players[0].PlayerName, "   ");
    EXPECT_EQ(state_.Players[0].PlayerReady, 1);
    EXPECT_NE(services_.Window(SettingsWindowId), nullptr) << "the main loop replaces it";

    const Settings saved = Saved();
    EXPECT_EQ(saved.PlayerMode, ServerMode);
    EXPECT_EQ(saved.MaxPlayer, 4);
    EXPECT_EQ(saved.TimeByPlayer, 10);
    EXPECT_EQ(saved.TimeByMove, 2);
    EXPECT_EQ(saved.ServerIP, 5);  // not the server's business
}

TEST_F(SettingsWindowTest, SinglePlayerStartFillsBothPlayersAndWritesItsKeys) {
    const SettingsOutcome outcome = Run({
        Type(Ids::Name2Field, ""),
        Press(SinglePlayerMode, Ids::StartSingleButton),
        Type(Ids::NameField, "Anna"),
        Type(Ids::Name2Field, "Bert"),
        Type(Ids::SingleTimeByPlayerField, "15"),
        Type(Ids::SingleTimeByMoveField, "1"),
        Press(SinglePlayerMode, Ids::StartSingleButton),
    });
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_THAT(Messages(), ElementsAre("Name muss angegeben werden."));
    EXPECT_EQ(state_.OwnPlayerIndex, 0);
    EXPECT_EQ(state_.PlayerCount, 2);
    EXPECT_EQ(state_.MaxPlayer, 0);
    EXPECT_EQ(state_.Players[0].PlayerName, "Anna");
    EXPECT_EQ(state_.Players[1].PlayerName, "Bert");
    EXPECT_EQ(state_.TimeByPlayer, 15);
    EXPECT_EQ(state_.TimeByMove, 1);

    const Settings saved = Saved();
    EXPECT_EQ(saved.Name, "Anna");
    EXPECT_EQ(saved.PlayerMode, SinglePlayerMode);
    EXPECT_EQ(saved.Name2, "Bert");
    EXPECT_EQ(saved.TimeByPlayer, 15);
    EXPECT_EQ(saved.TimeByMove, 1);
    EXPECT_EQ(saved.MaxPlayer, 8);  // not written: the default again
}

TEST_F(SettingsWindowTest, SinglePlayerRefusesALimitBeyondTheClocks) {
    Run({
        Type(Ids::SingleTimeByMoveField, "35791395"),
        Press(SinglePlayerMode, Ids::StartSingleButton),
    });
    EXPECT_THAT(Messages(),
                ElementsAre("'Maximale Zeit pro Zug' darf nicht größer als 35791394 sein."));
}

TEST_F(SettingsWindowTest, APortInUseRefusesTheServerAndSinglePlayerStillStarts) {
    Transport first;  // the program that serves already
    ASSERT_TRUE(first.Listen(0));
    state_.NetworkPort = first.ListeningPort();
    const SettingsOutcome outcome = Run({
        Type(Ids::MaxPlayerField, "4"),
        Press(ServerMode, Ids::StartServerButton),
        Press(SinglePlayerMode, Ids::StartSingleButton),
    });
    EXPECT_THAT(Messages(), ElementsAre("Server konnte nicht gestartet werden."));
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_EQ(state_.MaxPlayer, 0);
    EXPECT_EQ(state_.OwnPlayerIndex, 0);
    EXPECT_EQ(Saved().PlayerMode, SinglePlayerMode);
}

TEST_F(SettingsWindowTest, AFailedConnectEmptiesTheStatusAndSaysSo) {
    state_.NetworkPort = UnusedPort();
    const SettingsOutcome outcome = Run({
        Type(Ids::NameField, ""),
        Press(ClientMode, Ids::ConnectButton),
        Type(Ids::NameField, "Bert"),
        Press(ClientMode, Ids::ConnectButton),
    });
    EXPECT_EQ(outcome, SettingsOutcome::EndProgram);
    EXPECT_THAT(Messages(), ElementsAre("Name muss angegeben werden.",
                                        "Verbindung zum Server fehlgeschlagen."));
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "");
    EXPECT_EQ(state_.ServerConnection, NoConnection);
    EXPECT_FALSE(FileExists());
}

// A real server in the same test, polled between the window's passes.
class SettingsWindowJoinTest : public SettingsWindowTest {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        SetUpServer(server_, "Anna", 4, 20, 0);
        server_.NetworkPort = 0;
        ASSERT_TRUE(OpenServer(server_));
        state_.NetworkPort = server_.Network.ListeningPort();
    }

    Action ServeAPass() {
        return [this] {
            PollServer(server_, serverView_);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
    }

    ProgramState server_;
    SilentView serverView_;
};

TEST_F(SettingsWindowJoinTest, AClientStartEndsWhenTheServerHasWelcomedIt) {
    const SettingsOutcome outcome = Run(
        {
            Type(Ids::NameField, "Bert"),
            [this] { services_.SetState(Ids::ServerIPField, Localhost); },
            Press(ClientMode, Ids::ConnectButton),
        },
        ServeAPass());
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_TRUE(Messages().empty());
    EXPECT_NE(state_.ServerConnection, NoConnection);
    EXPECT_EQ(state_.OwnPlayerIndex, 1);
    EXPECT_EQ(state_.PlayerCount, 2);
    EXPECT_EQ(state_.MaxPlayer, 4);
    EXPECT_EQ(state_.TimeByPlayer, 20);
    EXPECT_EQ(state_.Players[1].PlayerName, "Bert");
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "Warte auf Daten des Servers...");

    const Settings saved = Saved();
    EXPECT_EQ(saved.Name, "Bert");
    EXPECT_EQ(saved.PlayerMode, ClientMode);
    EXPECT_EQ(saved.ServerIP, Localhost);
    EXPECT_EQ(saved.TimeByPlayer, 0);  // not the client's business
}

TEST_F(SettingsWindowJoinTest, ATakenNameSendsTheUserBackToTheWindow) {
    const SettingsOutcome outcome = Run(
        {
            Type(Ids::NameField, "Anna"),
            Press(ClientMode, Ids::ConnectButton),
        },
        ServeAPass());
    EXPECT_EQ(outcome, SettingsOutcome::EndProgram);
    EXPECT_THAT(Messages(),
                ElementsAre("Verbindung zum Server fehlgeschlagen.\nName existiert bereits."));
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "");
    EXPECT_EQ(state_.ServerConnection, NoConnection);
    EXPECT_FALSE(FileExists());
}

// A server speaking the protocol by hand: the first newcomer hears that its name is taken,
// the one after it is welcomed, and later its connection ends: closed, or by a frame of an
// impossible length (the parameter: that frame, or none).
class SettingsWindowRejoinTest : public SettingsWindowTest,
                                 public testing::WithParamInterface<std::optional<Bytes>> {
protected:
    void Serve() {
        const NetEvent event = server_.Poll();
        if (event.Kind == NetEventKind::NewConnection) {
            const char* listed = welcomed_++ == 0 ? "Bert" : "Anna";
            server_.Send(event.Connection, EncodeFrame(MsgWelcome{4, 2, 0, 0, {{listed, 1}}}));
        } else if (event.Kind == NetEventKind::MessageArrived) {
            joined_ = event.Connection;  // its name
        }
    }

    Transport server_;
    int welcomed_ = 0;
    ConnectionId joined_ = NoConnection;
};

INSTANTIATE_TEST_SUITE_P(Ends, SettingsWindowRejoinTest,
                         testing::Values(std::nullopt, Bytes{0xFB, 0xFF, 0xFF, 0xFF, 8}),
                         [](const testing::TestParamInfo<std::optional<Bytes>>& test) {
                             return test.param ? "ImpossibleLength" : "Closed";
                         });

// Refused, the box confirmed and at once joined again: the end of that connection is
// reported once.
TEST_P(SettingsWindowRejoinTest, AJoinRightAfterARefusalHasItsEndReportedOnce) {
    ASSERT_TRUE(server_.Listen(0));
    state_.NetworkPort = server_.ListeningPort();
    int presses = 0;
    int passes = 0;
    services_.OnIdle = [this, &presses, &passes] {
        Serve();
        if (++passes == 20000) {
            services_.PressCloseBox(SettingsWindowId);  // never joined
        }
        // The first press, and the next one as soon as the refusal's box has been confirmed.
        if (presses == 0) {
            services_.SelectTab(Ids::ModePanel, ClientMode);
            services_.TypeText(Ids::NameField, "Bert");
            services_.SetState(Ids::ServerIPField, Localhost);
        }
        if (presses == static_cast<int>(services_.MessageBoxes().size())) {
            presses += services_.Click(Ids::ConnectButton) ? 1 : 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    };
    ASSERT_EQ(RunSettingsWindow(services_, state_, environment_), SettingsOutcome::Ready);
    EXPECT_THAT(Messages(),
                ElementsAre("Verbindung zum Server fehlgeschlagen.\nName existiert bereits."));

    while (joined_ == NoConnection) {
        Serve();
    }
    if (GetParam()) {
        server_.Send(joined_, std::make_shared<const Bytes>(*GetParam()));
    } else {
        server_.Close(joined_);
    }
    struct : NetView {
        void ShowNetworkError(const std::string& text) override { Errors.push_back(text); }
        std::vector<std::string> Errors;
    } lobby;
    for (int pass = 0; pass < 300; ++pass) {
        Serve();
        PollClient(state_, lobby);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    EXPECT_THAT(lobby.Errors, ElementsAre("Verbindung zum Server unterbrochen."));
}

TEST_F(SettingsWindowTest, AConnectThatHangsLeavesTheWindowWorkingAndFailsAtTheLimit) {
    const FullListener server;
    state_.NetworkPort = server.Port();
    state_.ConnectLimitMs = 200;
    const SettingsOutcome outcome = Run(
        {
            Type(Ids::NameField, "Bert"), Press(ClientMode, Ids::ConnectButton),
            [this] {
                EXPECT_EQ(services_.Text(Ids::ConnectStatus), "Zum Server verbinden...");
                EXPECT_NE(state_.ServerConnection, NoConnection);
            },
            Type(Ids::Name2Field, "Eva"),  // the window goes on meanwhile
        },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    EXPECT_EQ(outcome, SettingsOutcome::EndProgram);
    EXPECT_THAT(Messages(), ElementsAre("Verbindung zum Server fehlgeschlagen."));
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "");
    EXPECT_EQ(state_.ServerConnection, NoConnection);
}

// A join that waits for a server which does not answer: still connecting to one whose
// backlog is full, or connected to one that never welcomes anybody.
class SettingsWindowWaitingTest : public SettingsWindowTest,
                                  public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        if (Connected()) {
            ASSERT_TRUE(silent_.Listen(0));
            state_.NetworkPort = silent_.ListeningPort();
        } else {
            full_.emplace();
            state_.NetworkPort = full_->Port();
        }
    }
    bool Connected() const { return GetParam(); }
    const char* Status() const {
        return Connected() ? "Warte auf Daten des Servers..." : "Zum Server verbinden...";
    }
    static long OpenDescriptors() {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    }

    Transport silent_;  // accepts, but never welcomes anybody
    std::optional<FullListener> full_;
};

INSTANTIATE_TEST_SUITE_P(Join, SettingsWindowWaitingTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& test) {
                             return test.param ? "Connected" : "Connecting";
                         });

TEST_P(SettingsWindowWaitingTest, AnotherStartGivesUpTheJoin) {
    const long open = OpenDescriptors();
    const SettingsOutcome outcome = Run({
        Type(Ids::NameField, "Bert"),
        Press(ClientMode, Ids::ConnectButton),
        [this] {
            EXPECT_NE(state_.ServerConnection, NoConnection);
            EXPECT_EQ(services_.Text(Ids::ConnectStatus), Status());
        },
        Press(SinglePlayerMode, Ids::StartSingleButton),
    });
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_EQ(state_.ServerConnection, NoConnection);
    EXPECT_EQ(OpenDescriptors(), open) << "the join's socket is closed";
    EXPECT_EQ(services_.Text(Ids::ConnectStatus), "");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(state_.MaxPlayer, 0);
    EXPECT_EQ(state_.Players[1].PlayerName, "rechner");
    EXPECT_EQ(Saved().PlayerMode, SinglePlayerMode);
}

TEST_P(SettingsWindowWaitingTest, TheCloseBoxEndsTheProgramAndWritesNothing) {
    const SettingsOutcome outcome = Run({
        Type(Ids::NameField, "Bert"),
        Press(ClientMode, Ids::ConnectButton),
        [this] {
            EXPECT_EQ(services_.Text(Ids::ConnectStatus), Status());
            services_.PressCloseBox(SettingsWindowId);
        },
    });
    EXPECT_EQ(outcome, SettingsOutcome::EndProgram);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(FileExists());
}

TEST_F(SettingsWindowTest, ANameLatin1CannotCarryStaysOffTheNetwork) {
    // Only the file can bring such a name; the field refuses what Latin-1 cannot carry.
    WriteFile("\xEF\xBB\xBFName = Zo\xC3\xAB \xE2\x82\xAC\r\n");
    state_.NetworkPort = UnusedPort();
    const SettingsOutcome outcome = Run({
        Type(Ids::MaxPlayerField, "4"), Press(ServerMode, Ids::StartServerButton),
        Press(ClientMode, Ids::ConnectButton),
        Press(SinglePlayerMode, Ids::StartSingleButton),  // stays on this computer
    });
    EXPECT_THAT(Messages(),
                ElementsAre("Name enthält Zeichen, die nicht übertragen werden können.",
                            "Name enthält Zeichen, die nicht übertragen werden können."));
    ASSERT_EQ(outcome, SettingsOutcome::Ready);
    EXPECT_EQ(state_.Players[0].PlayerName, "Zo\xC3\xAB \xE2\x82\xAC");
}

TEST(FieldNumberTest, ReadsTheLeadingNumberAsTyped) {
    const std::pair<std::string, int64_t> cases[] = {
        {"", 0},   {"8", 8},   {"  \t42abc", 42},          {"-7", -7},      {"+5", 5},
        {"x5", 0}, {"- 5", 0}, {"4294967298", 4294967298}, {"000127", 127},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(FieldNumber(text), expected) << '"' << text << '"';
    }
    // However long, the number stays far above every limit and never wraps.
    EXPECT_GT(FieldNumber(std::string(400, '9')), int64_t{1} << 32);
    EXPECT_LT(FieldNumber("-" + std::string(400, '9')), -(int64_t{1} << 32));
}

}  // namespace
}  // namespace tavlora
