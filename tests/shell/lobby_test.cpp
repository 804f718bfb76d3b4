// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby window against the recording double: the players list as the server and the
// clients see it, the switch to the games layout, the chat with its Return key, the ready
// toggle and the start button, and what the network makes visible through the lobby.
#include "shell/lobby.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "gamewindow/game_window.h"
#include "net/protocol.h"
#include "platform/recording_window_services.h"
#include "rules/execute.h"

namespace tavlora {
namespace {

using testing::ElementsAre;
using testing::Pair;
using Ids = LobbyControls;

constexpr int32_t Blue = 0x0000FF;

class LobbyTest : public testing::Test {
protected:
    // A lobby of maxPlayer places with these participants (the first is the server's user,
    // ready), seen by participant own.
    void Gather(int32_t maxPlayer, const std::vector<std::string>& names, int32_t own) {
        state_.Role = own == 0 ? PlayRole::Server : PlayRole::Client;
        state_.MaxPlayer = maxPlayer;
        state_.PlayerCount = static_cast<int32_t>(names.size());
        state_.OwnPlayerIndex = own;
        state_.Players.resize(maxPlayer + 1);
        for (size_t i = 0; i < names.size(); ++i) {
            state_.Players[i].PlayerName = names[i];
        }
        state_.Players[0].PlayerReady = 1;
        state_.PlayPhase = LobbyPhase;
        lobby_.BuildLobbyWindow();
    }

    // Hands the queued events to the lobby as the main loop does.
    void Pump() {
        for (Event event = services_.WaitEvent(10); event.Kind != EventKind::None;
             event = services_.WaitEvent(10)) {
            if (event.Kind == EventKind::Control) {
                lobby_.HandleLobbyControl(event.Control);
            } else if (event.Kind == EventKind::Shortcut) {
                lobby_.HandleLobbyShortcut(event.Shortcut);
            }
        }
        lobby_.ShowChanges();
    }

    std::vector<std::pair<std::string, std::string>> PlayerRows() const {
        std::vector<std::pair<std::string, std::string>> rows;
        for (int row = 0; row < services_.RowCount(Ids::PlayersList); ++row) {
            rows.emplace_back(services_.CellText(Ids::PlayersList, row, 0),
                              services_.CellText(Ids::PlayersList, row, 1));
        }
        return rows;
    }

    // The row's colour, when both columns share it; -2 when they differ.
    int32_t RowColour(int row) const {
        const int32_t ready = services_.CellColour(Ids::PlayersList, row, 0);
        return ready == services_.CellColour(Ids::PlayersList, row, 1) ? ready : -2;
    }

    std::vector<std::string> ChatLines() const { return services_.Control(Ids::ChatOutput)->Lines; }

    RecordingWindowServices services_;
    ProgramState state_;
    GameWindow gameWindow_{services_, state_, DefaultFont, DefaultFont};
    Lobby lobby_{services_, state_, gameWindow_};
};

TEST_F(LobbyTest, ServerLobbyShowsParticipantsThenFreePlacesWithItsOwnRowBlue) {
    Gather(8, {"Anna", "Bert", "Cleo"}, 0);

    const WindowRecord* window = services_.Window(LobbyWindowId);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Title, "Tavlora - Lobby");
    EXPECT_FALSE(window->Centred);
    EXPECT_EQ(std::make_pair(window->X, window->Y), std::make_pair(596, 0));
    EXPECT_EQ(std::make_pair(window->ClientW, window->ClientH), std::make_pair(422, 435));
    EXPECT_EQ(window->ReturnShortcut, ChatReturnShortcut);

    EXPECT_THAT(PlayerRows(), ElementsAre(Pair("    x", "Anna"), Pair("", "Bert"), Pair("", "Cleo"),
                                          Pair("    x", "<Offen>"), Pair("    x", "<Offen>"),
                                          Pair("    x", "<Offen>"), Pair("    x", "<Offen>"),
                                          Pair("    x", "<Offen>")));
    EXPECT_EQ(RowColour(0), Blue);
    for (int row = 1; row < 8; ++row) {
        EXPECT_EQ(RowColour(row), DefaultColour) << "row " << row;
    }

    const ControlRecord* start = services_.Control(Ids::StartGamesButton);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->Text, "Spiel starten");
    EXPECT_FALSE(start->Enabled);
    EXPECT_EQ(services_.Control(Ids::ReadyButton), nullptr);
}

TEST_F(LobbyTest, ClientLobbyHasTheReadyToggleAndItsOwnRowBlue) {
    // A participant still without a name, as a welcome may list it.
    Gather(4, {"Anna", "", "Cleo"}, 2);

    EXPECT_THAT(PlayerRows(), ElementsAre(Pair("    x", "Anna"), Pair("", "<Warte auf Spieler>"),
                                          Pair("", "Cleo"), Pair("    x", "<Offen>")));
    EXPECT_EQ(RowColour(0), DefaultColour);
    EXPECT_EQ(RowColour(2), Blue);
    const ControlRecord* ready = services_.Control(Ids::ReadyButton);
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready->Kind, ControlKind::ToggleButton);
    EXPECT_EQ(ready->Text, "Bereit");
    EXPECT_EQ(ready->State, 0);
    EXPECT_TRUE(ready->Enabled);
    EXPECT_EQ(services_.Control(Ids::StartGamesButton), nullptr);
}

TEST_F(LobbyTest, ControlsStandAtTheirPlacesAndTheGamesListWaitsHidden) {
    Gather(3, {"Anna", "Bert"}, 0);
    struct Expected {
        int Id;
        ControlKind Kind;
        Rect Geometry;
        std::string Text;
        bool Visible;
    };
    const Expected table[] = {
        {Ids::PlayersList, ControlKind::ListView, {10, 10, 400, 180}, "", true},
        {Ids::GamesList, ControlKind::ListView, {10, 210, 400, 180}, "", false},
        {Ids::ShowAllGamesBox,
         ControlKind::CheckBox,
         {10, 400, 400, 15},
         "Alle Spiele anzeigen",
         false},
        {Ids::StartGamesButton, ControlKind::Button, {280, 405, 130, 20}, "Spiel starten", true},
        {Ids::ChatOutput, ControlKind::TextOutput, {10, 210, 400, 150}, "", true},
        {Ids::ChatInput, ControlKind::TextField, {10, 370, 330, 20}, "", true},
        {Ids::SendButton, ControlKind::Button, {350, 370, 60, 20}, "Senden", true},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.Id);
        const ControlRecord* control = services_.Control(expected.Id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Window, LobbyWindowId);
        EXPECT_EQ(control->Kind, expected.Kind);
        EXPECT_EQ(control->Geometry.X, expected.Geometry.X);
        EXPECT_EQ(control->Geometry.Y, expected.Geometry.Y);
        EXPECT_EQ(control->Geometry.W, expected.Geometry.W);
        EXPECT_EQ(control->Geometry.H, expected.Geometry.H);
        EXPECT_EQ(control->Text, expected.Text);
        EXPECT_EQ(services_.IsShown(expected.Id), expected.Visible);
    }
    EXPECT_EQ(services_.Control(Ids::ShowAllGamesBox)->State, 0);

    auto columns = [this](int list) {
        std::vector<std::pair<std::string, int>> titles;
        for (const ColumnRecord& column : services_.Control(list)->Columns) {
            titles.emplace_back(column.Title, column.Width);
        }
        return titles;
    };
    EXPECT_THAT(columns(Ids::PlayersList),
                ElementsAre(Pair("Bereit", 40), Pair("Spielername", 335)));
    EXPECT_THAT(columns(Ids::GamesList), ElementsAre(Pair("Spiele", 165), Pair("Dran", 100),
                                                     Pair("Zeit", 55), Pair("Spielzeit", 55)));
}

TEST_F(LobbyTest, GamesLayoutKeepsOnlyTheParticipantsAndMovesTheChatDown) {
    Gather(8, {"Anna", "Bert", "Cleo"}, 1);
    lobby_.ShowGamesStarted();

    EXPECT_THAT(PlayerRows(),
                ElementsAre(Pair("    x", "Anna"), Pair("", "Bert"), Pair("", "Cleo")));
    EXPECT_EQ(RowColour(1), Blue);
    EXPECT_TRUE(services_.IsShown(Ids::GamesList));
    EXPECT_TRUE(services_.IsShown(Ids::ShowAllGamesBox));
    EXPECT_EQ(services_.Window(LobbyWindowId)->ClientH, 625);
    const Rect output = services_.Geometry(Ids::ChatOutput);
    const Rect input = services_.Geometry(Ids::ChatInput);
    const Rect send = services_.Geometry(Ids::SendButton);
    EXPECT_EQ(std::vector<int>({output.X, output.Y, output.W, output.H}),
              std::vector<int>({10, 435, 400, 150}));
    EXPECT_EQ(std::vector<int>({input.X, input.Y, input.W, input.H}),
              std::vector<int>({10, 595, 330, 20}));
    EXPECT_EQ(std::vector<int>({send.X, send.Y, send.W, send.H}),
              std::vector<int>({350, 595, 60, 20}));
    EXPECT_EQ(services_.Control(Ids::ReadyButton), nullptr);
}

TEST_F(LobbyTest, RowsFollowWhatTheNetworkReports) {
    Gather(5, {"Anna", "Bert", "Cleo", "Dora"}, 3);

    state_.Players[1].PlayerReady = 1;
    lobby_.ShowPlayerRow(1);
    state_.Players[4] = Player{.PlayerName = "", .PlayerReady = 0};
    lobby_.ShowPlayerRow(4);
    // Participant 1 leaves: the own row moves up, the last place becomes free.
    lobby_.MoveOwnRow(3, 2);
    lobby_.ShowFreeRow(3);
    EXPECT_THAT(PlayerRows(),
                ElementsAre(Pair("    x", "Anna"), Pair("    x", "Bert"), Pair("", "Cleo"),
                            Pair("    x", "<Offen>"), Pair("", "<Warte auf Spieler>")));
    EXPECT_EQ(RowColour(2), Blue);
    EXPECT_EQ(RowColour(3), DefaultColour);

    // Indexes no row stands for, as a broken peer might name them, are passed over.
    lobby_.ShowPlayerRow(5);
    lobby_.ShowPlayerRow(-1);
    lobby_.ShowFreeRow(7);
    lobby_.MoveOwnRow(-1, 40);
    EXPECT_EQ(services_.RowCount(Ids::PlayersList), 5);
}

// The way back: the away mark in the rows, the lobby's own line while the client tries to come
// back, and a lobby opened after a restart that learns its table only when it is back.
TEST_F(LobbyTest, AwayRowsTheReconnectLineAndATableLearntOnTheReturn) {
    Gather(4, {"Anna", "Bert", "Cleo"}, 1);
    lobby_.ShowGamesStarted();
    state_.Players[2].Away = true;
    lobby_.ShowPlayerRow(2);
    EXPECT_THAT(PlayerRows(),
                ElementsAre(Pair("    x", "Anna"), Pair("", "Bert"), Pair("", "Cleo (abwesend)")));

    lobby_.ShowReconnecting(true);
    lobby_.ShowReconnecting(true);
    const ControlRecord* line = services_.FindControlByText(ReconnectingText, LobbyWindowId);
    ASSERT_NE(line, nullptr);
    // In the gap between the players list and the games list, overlapping neither.
    EXPECT_EQ(
        std::vector<int>({line->Geometry.X, line->Geometry.Y, line->Geometry.W, line->Geometry.H}),
        std::vector<int>({10, 192, 400, 16}));
    lobby_.ShowReconnecting(false);
    EXPECT_EQ(services_.FindControlByText(ReconnectingText, LobbyWindowId), nullptr);

    // Started again: no table yet, so no rows and no "Bereit"; then the server's answer.
    RecordingWindowServices services;
    ProgramState state;
    GameWindow gameWindow{services, state, DefaultFont, DefaultFont};
    Lobby lobby{services, state, gameWindow};
    SetUpReturningClient(state, 0, 2, {}, 120);
    state.PlayPhase = LobbyPhase;
    lobby.BuildLobbyWindow();
    EXPECT_EQ(services.RowCount(Ids::PlayersList), 0);
    EXPECT_EQ(services.Control(Ids::ReadyButton), nullptr);
    state.MaxPlayer = 4;
    state.PlayerCount = 3;
    state.Players[0].PlayerName = "Anna";
    state.Players[1].PlayerName = "Bert";
    state.Players[2].PlayerName = "Cleo";
    lobby.ShowGamesStarted();
    lobby.ShowReturned();
    ASSERT_EQ(services.RowCount(Ids::PlayersList), 3);
    EXPECT_EQ(services.CellText(Ids::PlayersList, 2, 1), "Cleo");
    EXPECT_EQ(services.CellColour(Ids::PlayersList, 2, 1), Blue);
    EXPECT_EQ(services.CellColour(Ids::PlayersList, 1, 1), DefaultColour);
}

TEST_F(LobbyTest, StartButtonFollowsTheServer) {
    Gather(3, {"Anna", "Bert"}, 0);
    lobby_.SetStartButtonEnabled(true);
    EXPECT_TRUE(services_.Control(Ids::StartGamesButton)->Enabled);
    lobby_.SetStartButtonEnabled(false);
    EXPECT_FALSE(services_.Control(Ids::StartGamesButton)->Enabled);
}

TEST_F(LobbyTest, ReturnSendsTheChatLineOnlyFromTheChatInput) {
    Gather(3, {"Anna", "Bert"}, 0);

    services_.TypeText(Ids::ChatInput, "Hallo zusammen");
    services_.PressReturn(LobbyWindowId);
    Pump();
    EXPECT_THAT(ChatLines(), ElementsAre("<Anna> Hallo zusammen"));
    EXPECT_EQ(services_.Text(Ids::ChatInput), "");

    services_.TypeText(Ids::ChatInput, "noch nicht");
    services_.SetFocus(Ids::PlayersList);
    services_.PressReturn(LobbyWindowId);
    Pump();
    lobby_.HandleLobbyShortcut(1);  // no other shortcut sends
    EXPECT_THAT(ChatLines(), ElementsAre("<Anna> Hallo zusammen"));
    EXPECT_EQ(services_.Text(Ids::ChatInput), "noch nicht");
}

TEST_F(LobbyTest, SendButtonSendsEvenAnEmptyLineAndReturnsTheFocus) {
    Gather(3, {"Anna", "Bert"}, 0);
    services_.SetFocus(Ids::PlayersList);
    ASSERT_TRUE(services_.Click(Ids::SendButton));
    Pump();
    EXPECT_THAT(ChatLines(), ElementsAre("<Anna> "));
    EXPECT_EQ(services_.FocusedControl(), Ids::ChatInput);

    services_.TypeText(Ids::ChatInput, "gg");
    services_.Click(Ids::SendButton);
    Pump();
    EXPECT_THAT(ChatLines(), ElementsAre("<Anna> ", "<Anna> gg"));
    EXPECT_EQ(services_.Text(Ids::ChatInput), "");
}

TEST_F(LobbyTest, ChatLinesFromTheNetworkAreAppended) {
    Gather(3, {"Anna", "Bert"}, 1);
    lobby_.AppendChatLine("<Anna> Willkommen");
    lobby_.AppendChatLine("<Bert> Danke");
    EXPECT_TRUE(ChatLines().empty()) << "shown after the network work of the pass";
    lobby_.ShowChanges();
    EXPECT_THAT(ChatLines(), ElementsAre("<Anna> Willkommen", "<Bert> Danke"));
}

TEST_F(LobbyTest, TheServerSeesItsAddressesAsTheFirstChatLine) {
    Gather(3, {"Anna"}, 0);
    lobby_.ShowServerAddresses({{"lo", 0x7F000001, std::nullopt, true},
                                {"eth0", 0xC0A80105, 0xC0A801FF, false},
                                {"wlan0", 0x0A000002, 0x0AFFFFFF, false}});
    lobby_.AppendChatLine("<Anna> Hallo");
    lobby_.ShowChanges();
    EXPECT_THAT(ChatLines(),
                ElementsAre("Adresse dieses Servers: 192.168.1.5, 10.0.0.2", "<Anna> Hallo"));
}

TEST(ServerAddressLineTest, LoopbackAndRepeatsAreLeftOutAndNoneIsSaid) {
    EXPECT_EQ(ServerAddressLine({{"eth0", 0xC0A80105, 0xC0A801FF, false},
                                 {"eth0", 0xC0A80105, 0xC0A801FF, false},
                                 {"dummy0", 0x7F000102, std::nullopt, false},
                                 {"tun0", 0x0A080001, std::nullopt, false}}),
              "Adresse dieses Servers: 192.168.1.5, 10.8.0.1");
    EXPECT_EQ(ServerAddressLine({{"lo", 0x7F000001, std::nullopt, true}}),
              "Adresse dieses Servers: keine Netzwerkadresse gefunden");
    EXPECT_EQ(ServerAddressLine({}), "Adresse dieses Servers: keine Netzwerkadresse gefunden");
}

// Polls until an event comes or two seconds have passed (a safety net, not a measurement).
NetEvent PollFor(Transport& transport) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        NetEvent event = transport.Poll();
        if (event.Kind != NetEventKind::None) {
            return event;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
}

TEST_F(LobbyTest, ReadyToggleStoresTheFlagAndSendsItButLeavesTheMarkToTheRelay) {
    Transport server;
    ASSERT_TRUE(server.Listen(0));
    state_.ServerConnection = state_.Network.Connect("127.0.0.1", server.ListeningPort());
    ASSERT_NE(state_.ServerConnection, NoConnection);
    ASSERT_EQ(PollFor(server).Kind, NetEventKind::NewConnection);
    Gather(3, {"Anna", "Bert"}, 1);

    for (int32_t expected : {1, 0}) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(services_.Click(Ids::ReadyButton));
        Pump();
        EXPECT_EQ(state_.Players[1].PlayerReady, expected);
        EXPECT_EQ(services_.CellText(Ids::PlayersList, 1, 0), "");
        state_.Network.Poll();  // hands over what is queued
        const NetEvent event = PollFor(server);
        ASSERT_EQ(event.Kind, NetEventKind::MessageArrived);
        EXPECT_EQ(event.Received, Message(MsgReady{1, expected}));
    }
    // The relay comes back: now the mark shows.
    state_.Players[1].PlayerReady = 1;
    lobby_.ShowPlayerRow(1);
    EXPECT_EQ(services_.CellText(Ids::PlayersList, 1, 0), "    x");
}

TEST_F(LobbyTest, StartButtonStartsTheGamesOnTheServer) {
    Gather(3, {"Anna", "Bert", "Cleo"}, 0);
    state_.Players[1].PlayerReady = state_.Players[2].PlayerReady = 1;
    lobby_.SetStartButtonEnabled(true);
    ASSERT_TRUE(services_.Click(Ids::StartGamesButton));
    Pump();

    EXPECT_EQ(state_.PlayPhase, GamesStartedPhase);
    EXPECT_EQ(state_.Games.size(), 3u);
    EXPECT_EQ(services_.Control(Ids::StartGamesButton), nullptr);
    EXPECT_TRUE(services_.IsShown(Ids::GamesList));
    EXPECT_EQ(services_.Window(LobbyWindowId)->ClientH, 625);

    // What the network would still say about the start button changes nothing now.
    lobby_.SetStartButtonEnabled(true);
    EXPECT_EQ(services_.Control(Ids::StartGamesButton), nullptr);

    // "Tabelle" takes the start button's place and asks for the standings.
    const ControlRecord* standings = services_.FindControlByText("Tabelle", LobbyWindowId);
    ASSERT_NE(standings, nullptr);
    EXPECT_EQ(std::vector<int>({standings->Geometry.X, standings->Geometry.Y, standings->Geometry.W,
                                standings->Geometry.H}),
              std::vector<int>({280, 405, 130, 20}));
    EXPECT_GE(standings->Id, FirstAssignedId);
    int asked = 0;
    lobby_.ShowStandings = [&asked] { ++asked; };
    ASSERT_TRUE(services_.Click(standings->Id));
    Pump();
    EXPECT_EQ(asked, 1);
}

TEST_F(LobbyTest, MovesAndDrawOffersReachOnlyOpenViews) {
    Gather(2, {"Anna", "Bert"}, 0);
    Game& game = CreateGame(state_.Games, 0, 1, White, state_);
    lobby_.GameMoved(game);  // no view yet: nothing to show, nothing opened
    lobby_.DrawOffered(game);
    gameWindow_.ShowChanges();
    EXPECT_EQ(gameWindow_.FindView(game), nullptr);

    gameWindow_.OpenGameView(game);
    GameView* view = gameWindow_.FindView(game);
    ASSERT_NE(view, nullptr);
    lobby_.DrawOffered(game);
    gameWindow_.ShowChanges();
    EXPECT_TRUE(services_.IsShown(view->AcceptDrawButton));
    EXPECT_FALSE(services_.IsShown(view->OfferDrawButton));

    // Shown in the order they came: the move lets the offer lapse, and the next one stands.
    ExecuteMove(game, game.Moves.front(), state_);
    lobby_.GameMoved(game);
    ExecuteMove(game, game.Moves.front(), state_);
    lobby_.GameMoved(game);
    lobby_.DrawOffered(game);
    EXPECT_EQ(services_.ItemCount(view->MoveList), 0) << "shown after the network work";
    gameWindow_.ShowChanges();
    EXPECT_EQ(services_.ItemCount(view->MoveList), 2);
    EXPECT_TRUE(services_.IsShown(view->AcceptDrawButton));
}

}  // namespace
}  // namespace tavlora
