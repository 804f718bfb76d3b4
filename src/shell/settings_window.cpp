// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_window.h"

#include <algorithm>

#include "net/client.h"
#include "net/latin1.h"
#include "net/net_view.h"
#include "net/program_state.h"
#include "net/return_desk.h"
#include "net/server.h"
#include "rules/clock.h"
#include "shell/server_search.h"

namespace tavlora {

namespace {

using Ids = SettingsControls;

const char* const ErrorTitle = "Tavlora - Fehler";
const char* const NameMissing = "Name muss angegeben werden.";
// Only a name taken over from the settings file can hold such characters: the field itself
// refuses them. On the wire they would turn into other characters.
const char* const NameNotLatin1 = "Name enthält Zeichen, die nicht übertragen werden können.";
const char* const TooFewPlayers = "'Maximale Anzahl Spieler' darf nicht kleiner 2 sein.";
const char* const TooManyPlayers = "'Maximale Anzahl Spieler' darf nicht größer als 127 sein.";
const char* const ServerFailed = "Server konnte nicht gestartet werden.";
const char* const ConnectFailed = "Verbindung zum Server fehlgeschlagen.";
const char* const Connecting = "Zum Server verbinden...";
const char* const WaitingForServer = "Warte auf Daten des Servers...";

constexpr int32_t MinPlayers = 2;
// Far above every limit the window tests, and far below what 64 bits can hold.
constexpr int64_t NumberCeiling = int64_t{1} << 40;

int32_t ToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

class SettingsWindow final : public NetView {
public:
    SettingsWindow(WindowServices& services, ProgramState& state)
        : services_(services), state_(state) {}

    SettingsOutcome Run(const SettingsEnvironment& environment);

    // NetView. While this window runs the client only joins: the connection made, or why
    // the join failed, is all it can show.
    void ShowConnected() override;
    void ShowNetworkError(const std::string& text) override;

private:
    void Build();
    void Add(ControlKind kind, int id, int page, Rect geometry, const std::string& text = {},
             unsigned options = NoOptions);
    void Fill(const Settings& settings);
    // Each answers whether the way to play is now set up.
    bool StartServer();
    void StartClient();
    bool StartSingle();
    void GiveUpJoin();
    bool Refuse(const std::string& text);
    bool TimeLimitFits(int64_t minutes, const char* label);
    Settings Values() const;

    WindowServices& services_;
    ProgramState& state_;
    int32_t lastAddress_ = 0;    // of the last connection attempt, for the settings file
    int32_t rejoinSeconds_ = 0;  // the file's grace time, for a server
    // The lobbies found, on the "Client" tab.
    ServerSearch search_ = ServerSearch(services_, SettingsWindowId, Ids::ModePanel, ClientMode,
                                        Ids::ServerIPField, {.Port = state_.NetworkPort});
};

SettingsOutcome SettingsWindow::Run(const SettingsEnvironment& environment) {
    state_.PlayPhase = SettingsPhase;
    Build();
    const Settings settings = LoadSettings(environment);
    Fill(settings);
    lastAddress_ = settings.ServerIP;
    rejoinSeconds_ = std::clamp(settings.RejoinSeconds, 0, MaxRejoinSeconds);

    for (;;) {
        const Event event = services_.WaitEvent(10);
        bool done = false;
        if (event.Kind == EventKind::Control && event.Window == SettingsWindowId) {
            search_.HandleControl(event.Control);
            switch (event.Control) {
                case Ids::StartServerButton:
                    done = StartServer();
                    break;
                case Ids::ConnectButton:
                    StartClient();
                    break;
                case Ids::StartSingleButton:
                    done = StartSingle();
                    break;
                default:
                    break;  // typing and switching tabs need nothing
            }
        }
        search_.Poll();
        if (state_.ServerConnection != NoConnection) {
            done = PollClient(state_, *this);
        }
        if (event.Kind == EventKind::Close && event.Window == SettingsWindowId) {
            return SettingsOutcome::EndProgram;
        }
        if (done) {
            break;
        }
    }
    SaveSettings(environment, services_.State(Ids::ModePanel), Values());
    return SettingsOutcome::Ready;
}

void SettingsWindow::ShowConnected() {
    services_.SetText(Ids::ConnectStatus, WaitingForServer);
}

void SettingsWindow::ShowNetworkError(const std::string& text) {
    services_.SetText(Ids::ConnectStatus, "");
    services_.MessageBox(ErrorTitle, text);
}

void SettingsWindow::Build() {
    services_.OpenWindow({.Id = SettingsWindowId,
                          .Centred = true,
                          .ClientW = 260,
                          .ClientH = 400,
                          .Title = "Tavlora - Einstellungen"});
    constexpr int NoPage = -1;
    Add(ControlKind::Text, AssignId, NoPage, {10, 13, 50, 15}, "Name:");
    Add(ControlKind::TextField, Ids::NameField, NoPage, {60, 10, 190, 20});
    Add(ControlKind::TabPanel, Ids::ModePanel, NoPage, {10, 40, 240, 350});
    for (const char* title : {"Server", "Client", "Einzelspieler"}) {
        services_.AddTabPage(Ids::ModePanel, title);
    }

    const unsigned number = DigitsOnly | RightAligned;
    Add(ControlKind::Text, AssignId, ServerMode, {18, 18, 200, 15}, "Maximale Anzahl Spieler:");
    Add(ControlKind::Text, AssignId, ServerMode, {18, 73, 200, 15},
        "Maximale Spielzeit pro Spieler:");
    Add(ControlKind::Text, AssignId, ServerMode, {18, 128, 200, 15}, "Maximale Zeit pro Zug:");
    Add(ControlKind::Text, AssignId, ServerMode, {168, 98, 60, 15}, "Minuten");
    Add(ControlKind::Text, AssignId, ServerMode, {168, 153, 60, 15}, "Minuten");
    Add(ControlKind::TextField, Ids::MaxPlayerField, ServerMode, {18, 40, 200, 20}, {}, DigitsOnly);
    Add(ControlKind::TextField, Ids::TimeByPlayerField, ServerMode, {18, 95, 140, 20}, {}, number);
    Add(ControlKind::TextField, Ids::TimeByMoveField, ServerMode, {18, 150, 140, 20}, {}, number);
    Add(ControlKind::Button, Ids::StartServerButton, ServerMode, {38, 290, 160, 20},
        "Server starten");

    Add(ControlKind::Text, AssignId, ClientMode, {18, 18, 200, 15}, "IP-Adresse Server:");
    Add(ControlKind::IPv4Field, Ids::ServerIPField, ClientMode, {18, 40, 200, 20});
    Add(ControlKind::Button, Ids::ConnectButton, ClientMode, {38, 290, 160, 20},
        "Zum Server verbinden");
    Add(ControlKind::Text, Ids::ConnectStatus, ClientMode, {38, 270, 160, 15}, {}, Centred);
    search_.Build();

    Add(ControlKind::Text, AssignId, SinglePlayerMode, {18, 18, 200, 15}, "Name 2. Spieler:");
    Add(ControlKind::Text, AssignId, SinglePlayerMode, {18, 73, 200, 15},
        "Maximale Spielzeit pro Spieler:");
    Add(ControlKind::Text, AssignId, SinglePlayerMode, {18, 128, 200, 15},
        "Maximale Zeit pro Zug:");
    Add(ControlKind::Text, AssignId, SinglePlayerMode, {168, 98, 60, 15}, "Minuten");
    Add(ControlKind::Text, AssignId, SinglePlayerMode, {168, 153, 60, 15}, "Minuten");
    Add(ControlKind::TextField, Ids::Name2Field, SinglePlayerMode, {18, 40, 200, 20});
    Add(ControlKind::TextField, Ids::SingleTimeByPlayerField, SinglePlayerMode, {18, 95, 140, 20},
        {}, number);
    Add(ControlKind::TextField, Ids::SingleTimeByMoveField, SinglePlayerMode, {18, 150, 140, 20},
        {}, number);
    Add(ControlKind::Button, Ids::StartSingleButton, SinglePlayerMode, {38, 290, 160, 20},
        "Spiel starten");
}

// page -1 places the control in the client area, any other on that page of the tab panel.
void SettingsWindow::Add(ControlKind kind, int id, int page, Rect geometry, const std::string& text,
                         unsigned options) {
    const bool onPage = page >= 0;
    services_.CreateControl({.Window = SettingsWindowId,
                             .Parent = onPage ? Ids::ModePanel : -1,
                             .Page = onPage ? page : 0,
                             .Kind = kind,
                             .Id = id,
                             .Geometry = geometry,
                             .Text = text,
                             .Options = options});
}

void SettingsWindow::Fill(const Settings& settings) {
    services_.SetText(Ids::NameField, settings.Name);
    // A mode the file should not hold leaves the default tab.
    const bool knownMode =
        settings.PlayerMode >= ServerMode && settings.PlayerMode <= SinglePlayerMode;
    services_.SetState(Ids::ModePanel, knownMode ? settings.PlayerMode : ClientMode);
    services_.SetText(Ids::MaxPlayerField, std::to_string(settings.MaxPlayer));
    services_.SetText(Ids::TimeByPlayerField, std::to_string(settings.TimeByPlayer));
    services_.SetText(Ids::TimeByMoveField, std::to_string(settings.TimeByMove));
    services_.SetText(Ids::Name2Field, settings.Name2);
    services_.SetText(Ids::SingleTimeByPlayerField, std::to_string(settings.TimeByPlayer));
    services_.SetText(Ids::SingleTimeByMoveField, std::to_string(settings.TimeByMove));
    services_.SetState(Ids::ServerIPField, settings.ServerIP);
}

bool SettingsWindow::StartServer() {
    GiveUpJoin();
    const std::string name = services_.Text(Ids::NameField);
    // Tested as typed: a count or limit cut to 32 bits could pass where the typed one fails.
    const int64_t maxPlayer = FieldNumber(services_.Text(Ids::MaxPlayerField));
    const int64_t timeByPlayer = FieldNumber(services_.Text(Ids::TimeByPlayerField));
    const int64_t timeByMove = FieldNumber(services_.Text(Ids::TimeByMoveField));
    if (name.empty()) {
        return Refuse(NameMissing);
    }
    if (!FitsLatin1(name)) {
        return Refuse(NameNotLatin1);
    }
    if (maxPlayer < MinPlayers) {
        return Refuse(TooFewPlayers);
    }
    if (maxPlayer > MostParticipants) {
        return Refuse(TooManyPlayers);
    }
    if (!TimeLimitFits(timeByPlayer, "Maximale Spielzeit pro Spieler") ||
        !TimeLimitFits(timeByMove, "Maximale Zeit pro Zug")) {
        return false;
    }
    SetUpServer(state_, name, ToInt32(maxPlayer), ToInt32(timeByPlayer), ToInt32(timeByMove));
    state_.RejoinSeconds = rejoinSeconds_;
    if (!OpenServer(state_)) {
        return Refuse(ServerFailed);
    }
    return true;
}

void SettingsWindow::StartClient() {
    GiveUpJoin();
    const std::string name = services_.Text(Ids::NameField);
    SetUpJoiningClient(state_, name);
    if (name.empty()) {
        Refuse(NameMissing);
        return;
    }
    if (!FitsLatin1(name)) {
        Refuse(NameNotLatin1);
        return;
    }
    services_.SetText(Ids::ConnectStatus, Connecting);
    lastAddress_ = services_.State(Ids::ServerIPField);
    // The window goes on while the server answers: the loop's PollClient finishes the
    // connect, and another start or the close box gives it up.
    if (!StartConnectToServer(state_, lastAddress_)) {
        ShowNetworkError(ConnectFailed);
    }
}

bool SettingsWindow::StartSingle() {
    GiveUpJoin();
    const int64_t timeByPlayer = FieldNumber(services_.Text(Ids::SingleTimeByPlayerField));
    const int64_t timeByMove = FieldNumber(services_.Text(Ids::SingleTimeByMoveField));
    SetUpSinglePlayer(state_, services_.Text(Ids::NameField), services_.Text(Ids::Name2Field),
                      ToInt32(timeByPlayer), ToInt32(timeByMove));
    if (state_.Players[0].PlayerName.empty() || state_.Players[1].PlayerName.empty()) {
        return Refuse(NameMissing);
    }
    return TimeLimitFits(timeByPlayer, "Maximale Spielzeit pro Spieler") &&
           TimeLimitFits(timeByMove, "Maximale Zeit pro Zug");
}

// A join still connecting or waiting for the server's welcome gives way to any new start:
// left open it would keep a place on that server, and its answer would overwrite the new
// start's values.
void SettingsWindow::GiveUpJoin() {
    if (state_.ServerConnection == NoConnection) {
        return;
    }
    state_.Network.Close(state_.ServerConnection);
    state_.ServerConnection = NoConnection;
    services_.SetText(Ids::ConnectStatus, "");
}

bool SettingsWindow::Refuse(const std::string& text) {
    services_.MessageBox(ErrorTitle, text);
    return false;
}

// A limit whose seconds do not fit the 32-bit clocks would wrap into a short or negative one.
bool SettingsWindow::TimeLimitFits(int64_t minutes, const char* label) {
    if (minutes <= MaxTimeLimit) {
        return true;
    }
    return Refuse(std::string("'") + label + "' darf nicht größer als " +
                  std::to_string(MaxTimeLimit) + " sein.");
}

Settings SettingsWindow::Values() const {
    auto nameOf = [this](int32_t index) {
        const bool known = index >= 0 && static_cast<size_t>(index) < state_.Players.size();
        return known ? state_.Players[index].PlayerName : std::string();
    };
    Settings values;
    values.Name = nameOf(state_.OwnPlayerIndex);
    values.MaxPlayer = state_.MaxPlayer;
    values.TimeByPlayer = state_.TimeByPlayer;
    values.TimeByMove = state_.TimeByMove;
    values.Name2 = nameOf(1);
    values.ServerIP = lastAddress_;
    values.RejoinSeconds = rejoinSeconds_;
    return values;
}

}  // namespace

SettingsOutcome RunSettingsWindow(WindowServices& services, ProgramState& state,
                                  const SettingsEnvironment& environment) {
    SettingsWindow window(services, state);
    return window.Run(environment);
}

int64_t FieldNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), NumberCeiling);
    }
    return negative ? -value : value;
}

}  // namespace tavlora
