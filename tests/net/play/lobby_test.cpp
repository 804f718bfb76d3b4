// SPDX-License-Identifier: GPL-3.0-or-later
// The lobby end to end: the welcome handshake and the refusals, the mirrored players table
// with its ready marks and the start button, chat lines on every side, and departures that
// move the indexes down, also while a newcomer's name or ready flag is still on its way.
#include <gtest/gtest.h>

#include "net/play_step.h"
#include "net/senders.h"
#include "net/server.h"
#include "tournament.h"

namespace tavlora {
namespace {

const RowText Free{"    x", "<Offen>"};

// Every program shows the server's table, and each its own row in blue.
void ExpectSameTable(Tournament& t) {
    const ProgramState& server = t.Server().State;
    for (Side* side : t.Sides()) {
        const ProgramState& state = side->State;
        EXPECT_EQ(side->View.Rows, t.Server().View.Rows) << "participant " << state.OwnPlayerIndex;
        EXPECT_EQ(side->View.OwnRow, state.OwnPlayerIndex);
        for (int32_t i = 0; i < server.PlayerCount; ++i) {
            EXPECT_EQ(state.Players[i].PlayerName, server.Players[i].PlayerName) << "entry " << i;
            EXPECT_EQ(state.Players[i].PlayerReady, server.Players[i].PlayerReady) << "entry " << i;
        }
    }
}

TEST(Lobby, FirstClientIsWelcomedWithOnlyTheServerListed) {
    Tournament t("Max", 8, 10, 0);
    auto peer = RawPeer::ConnectTo(t.Port());
    t.Pump();
    const std::optional<Message> welcome = peer->NextMessage();
    ASSERT_TRUE(welcome);
    EXPECT_EQ(*welcome, Message(MsgWelcome{8, 2, 10, 0, {{"Max", 1}}}));
    EXPECT_EQ(t.Server().View.Rows[1], (RowText{"", "<Warte auf Spieler>"}));
    EXPECT_FALSE(t.Server().View.StartEnabled);

    peer->Send(MsgName{1, "Eva"});
    t.Pump();
    EXPECT_EQ(t.Server().State.Players[1].PlayerName, "Eva");
    EXPECT_EQ(peer->NextMessage(), Message(MsgPlayerNamed{1, "Eva"}));
}

TEST(Lobby, JoinedClientMirrorsTheTable) {
    Tournament t("Max", 4, 5, 2);
    Side& eva = t.Join("Eva");
    ASSERT_TRUE(eva.InLobby);
    const ProgramState& state = eva.State;
    EXPECT_EQ(state.OwnPlayerIndex, 1);
    EXPECT_EQ(state.PlayerCount, 2);
    EXPECT_EQ(state.MaxPlayer, 4);
    EXPECT_EQ(state.TimeByPlayer, 5);
    EXPECT_EQ(state.TimeByMove, 2);
    EXPECT_EQ(state.Players.size(), 5u);
    EXPECT_EQ(eva.View.Rows, (std::vector<RowText>{{"    x", "Max"}, {"", "Eva"}, Free, Free}));

    Side& udo = t.Join("Udo");
    EXPECT_EQ(udo.State.OwnPlayerIndex, 2);
    EXPECT_EQ(eva.View.Rows[2], (RowText{"", "Udo"}));
    ExpectSameTable(t);
}

TEST(Lobby, NameTakenOnlyByExactBytes) {
    struct Case {
        const char* Name;
        bool Taken;
    };
    for (const Case& c : {Case{"Max", true}, Case{"Eva", true}, Case{"max", false},
                          Case{"Eva ", false}, Case{"Äva", false}}) {
        SCOPED_TRACE(c.Name);
        Tournament t("Max");
        Side& eva = t.Join("Eva");
        const int evaCalls = eva.View.Calls;
        Side& newcomer = t.Join(c.Name);
        if (c.Taken) {
            EXPECT_FALSE(newcomer.InLobby);
            EXPECT_EQ(newcomer.State.ServerConnection, NoConnection);
            EXPECT_EQ(newcomer.View.Errors,
                      (std::vector<std::string>{"Verbindung zum Server fehlgeschlagen.\nName "
                                                "existiert bereits."}));
            // It left as the unnamed last entry: nobody else heard of it.
            EXPECT_EQ(t.Server().State.PlayerCount, 2);
            EXPECT_EQ(t.Server().View.Rows[2], Free);
            EXPECT_EQ(eva.View.Calls, evaCalls);
        } else {
            EXPECT_TRUE(newcomer.InLobby);
            EXPECT_EQ(newcomer.State.OwnPlayerIndex, 2);
            EXPECT_EQ(t.Server().State.Players[2].PlayerName, c.Name);
        }
        ExpectSameTable(t);
    }
}

TEST(Lobby, TwoNewcomersWithOneNameCannotBothHaveIt) {
    Tournament t("Max");
    Side& first = t.Connect("Eva");
    Side& second = t.Connect("Eva");
    // Both are welcomed before either has announced its name, so both pass their own test;
    // the server gives the name to the first that announces it.
    PollServer(t.Server().State, t.Server().View);
    PollServer(t.Server().State, t.Server().View);
    ASSERT_EQ(t.Server().State.PlayerCount, 3);
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 2);
    EXPECT_EQ(t.Server().State.Players[1].PlayerName, "Eva");
    const std::vector<std::string> lost{"Verbindung zum Server unterbrochen."};
    EXPECT_NE(first.View.Errors == lost, second.View.Errors == lost);
}

TEST(Lobby, FullServerRefusesAndKeepsItsClient) {
    Tournament t("Max", 2);
    Side& eva = t.Join("Eva");
    Side& late = t.Join("Udo");
    EXPECT_FALSE(late.InLobby);
    EXPECT_EQ(late.State.ServerConnection, NoConnection);
    EXPECT_EQ(
        late.View.Errors,
        (std::vector<std::string>{"Verbindung zum Server fehlgeschlagen.\nServer ist voll."}));
    EXPECT_EQ(t.Server().State.PlayerCount, 2);
    EXPECT_EQ(eva.State.OwnPlayerIndex, 1);
    EXPECT_EQ(t.Server().State.Players[1].PlayerName, "Eva");
}

TEST(Lobby, RefusedConnectionIsClosedByTheServer) {
    Tournament t("Max", 2);
    t.Join("Eva");
    auto peer = RawPeer::ConnectTo(t.Port());
    t.Pump();
    EXPECT_EQ(peer->NextMessage(), Message(MsgRefusedFull{}));
    // The peer never closes, yet its socket ends.
    EXPECT_EQ(peer->Next().Kind, NetEventKind::Closed);
}

TEST(Lobby, ReadyMarksAndStartButtonRule) {
    Tournament t("Max");
    Side& server = t.Server();
    EXPECT_FALSE(server.View.StartEnabled);

    Side& eva = t.Join("Eva");
    EXPECT_FALSE(server.View.StartEnabled);
    eva.State.Players[1].PlayerReady = 1;  // the lobby stores the own flag, then sends it
    SendReady(eva.State, 1);
    t.Pump();
    EXPECT_TRUE(server.View.StartEnabled);
    EXPECT_EQ(eva.View.Rows[1].Ready, "    x");  // shown when the relay came back
    ExpectSameTable(t);

    // A newcomer, named or not yet, is not ready.
    Side& udo = t.Connect("Udo");
    PollServer(server.State, server.View);
    EXPECT_FALSE(server.View.StartEnabled);
    t.Pump();
    EXPECT_FALSE(server.View.StartEnabled);
    SendReady(udo.State, 1);
    t.Pump();
    EXPECT_TRUE(server.View.StartEnabled);

    SendReady(eva.State, 0);
    t.Pump();
    EXPECT_FALSE(server.View.StartEnabled);
    EXPECT_EQ(udo.View.Rows[1].Ready, "");
    ExpectSameTable(t);

    // The only client not ready leaves: the rest are ready.
    t.Leave(eva);
    t.Pump();
    EXPECT_TRUE(server.View.StartEnabled);
    t.Leave(udo);
    t.Pump();
    EXPECT_FALSE(server.View.StartEnabled);
}

TEST(Lobby, ChatLinesOnEverySide) {
    Tournament t("Max");
    Side& eva = t.Join("Eva");
    Side& udo = t.Join("Udo");
    SendChat(eva.State, eva.View, "Hallo zusammen");
    EXPECT_TRUE(eva.View.Chat.empty());  // a client sees its line when the relay comes back
    t.Pump();
    SendChat(t.Server().State, t.Server().View, "Grüß Gott");
    SendChat(udo.State, udo.View, "");
    t.Pump();
    const std::vector<std::string> expected{"<Eva> Hallo zusammen", "<Max> Grüß Gott", "<Udo> "};
    for (Side* side : t.Sides()) {
        EXPECT_EQ(side->View.Chat, expected) << "participant " << side->State.OwnPlayerIndex;
    }
}

// A flood is read, passed on and shown over several passes of the server's main loop, each
// taking no more than its share, so the windows get their turn in between; nothing is lost.
TEST(Lobby, AFloodIsTakenOverSeveralPassesAndNothingIsLost) {
    Tournament t("Max");
    Side& eva = t.Join("Eva");
    constexpr int Lines = 3 * MostNetworkEventsPerPass + 5;
    for (int line = 0; line < Lines; ++line) {
        SendChat(eva.State, eva.View, "Zeile " + std::to_string(line));
    }
    std::vector<size_t> shownAfterPass;
    for (int pass = 0; pass < 100 && t.Server().View.Chat.size() < Lines; ++pass) {
        const size_t before = t.Server().View.Chat.size();
        RunPlayStep(t.Server().State, t.Server().View);
        EXPECT_LE(t.Server().View.Chat.size() - before, size_t{MostNetworkEventsPerPass});
        shownAfterPass.push_back(t.Server().View.Chat.size());
    }
    ASSERT_EQ(t.Server().View.Chat.size(), size_t{Lines});
    EXPECT_GE(shownAfterPass.size(), 4u) << "taken in passes of at most their share";
    EXPECT_EQ(t.Server().View.Chat.back(), "<Eva> Zeile " + std::to_string(Lines - 1));
    t.Pump();
    EXPECT_EQ(eva.View.Chat.size(), size_t{Lines});
}

TEST(Lobby, DepartureMovesIndexesDownAndOwnRowUp) {
    Tournament t("Max", 6);
    Side& anna = t.Join("Anna");
    Side& bert = t.Join("Bert");
    Side& cleo = t.Join("Cleo");
    SendReady(cleo.State, 1);
    t.Pump();

    t.Leave(anna);
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 3);
    EXPECT_EQ(bert.State.OwnPlayerIndex, 1);
    EXPECT_EQ(cleo.State.OwnPlayerIndex, 2);
    EXPECT_EQ(cleo.State.PlayerCount, 3);
    const std::vector<RowText> rows{
        {"    x", "Max"}, {"", "Bert"}, {"    x", "Cleo"}, Free, Free, Free};
    EXPECT_EQ(t.Server().View.Rows, rows);
    ExpectSameTable(t);

    // The last entry leaves: nobody moves.
    t.Leave(cleo);
    t.Pump();
    EXPECT_EQ(bert.State.OwnPlayerIndex, 1);
    EXPECT_EQ(bert.View.Rows[2], Free);
    ExpectSameTable(t);
}

TEST(Lobby, DepartureWhileNameAndReadyAreOnTheirWay) {
    Tournament t("Max", 6);
    Side& anna = t.Join("Anna");
    Side& bert = t.Join("Bert");
    Side& cleo = t.Connect("Cleo");
    Side& server = t.Server();
    PollServer(server.State, server.View);  // Cleo is registered and welcomed
    ASSERT_EQ(server.State.PlayerCount, 4);

    // Cleo announces itself as 3 and Bert declares itself ready as 2, while Anna, below
    // both, leaves before the server has read either.
    t.FinishJoin(cleo);
    bert.State.Players[2].PlayerReady = 1;
    SendReady(bert.State, 1);
    t.Leave(anna);

    PollServer(server.State, server.View);
    ASSERT_EQ(server.State.PlayerCount, 3) << "the departure should come first";
    t.Pump();

    EXPECT_EQ(bert.State.OwnPlayerIndex, 1);
    EXPECT_EQ(cleo.State.OwnPlayerIndex, 2);
    EXPECT_EQ(server.State.Players[1].PlayerName, "Bert");
    EXPECT_EQ(server.State.Players[1].PlayerReady, 1);
    EXPECT_EQ(server.State.Players[2].PlayerName, "Cleo");
    EXPECT_EQ(server.State.Players[2].PlayerReady, 0);
    EXPECT_EQ(server.View.Rows[3], Free);
    ExpectSameTable(t);
}

TEST(Lobby, UnnamedNewcomerMovingDownLearnsItsIndex) {
    Tournament t("Max", 6);
    Side& anna = t.Join("Anna");
    Side& bert = t.Connect("Bert");
    PollServer(t.Server().State, t.Server().View);  // Bert is welcomed as 2
    t.Leave(anna);
    t.Pump();
    EXPECT_EQ(bert.State.OwnPlayerIndex, 1);
    EXPECT_EQ(bert.View.OwnRow, 1);
    EXPECT_EQ(t.Server().State.Players[1].PlayerName, "Bert");
    ExpectSameTable(t);
}

TEST(Lobby, FreedPlaceDoesNotKeepTheLeaversData) {
    Tournament t("Max", 6);
    Side& anna = t.Join("Anna");
    Side& bert = t.Join("Bert");
    Side& cleo = t.Join("Cleo");
    SendReady(cleo.State, 1);
    t.Pump();
    t.Leave(bert);  // Cleo moves to 2; place 3 is free again
    t.Pump();

    // A newcomer that never names itself takes place 3, and Anna leaves.
    auto silent = RawPeer::ConnectTo(t.Port());
    t.Pump();
    t.Leave(anna);
    t.Pump();
    EXPECT_EQ(cleo.State.OwnPlayerIndex, 1);
    EXPECT_EQ(t.Server().View.Rows[2], (RowText{"", "<Warte auf Spieler>"}));
    ExpectSameTable(t);
}

TEST(Lobby, ClientAfterTheStartIsRefusedAsRunning) {
    Tournament t("Max");
    Side& eva = t.Join("Eva");
    SendReady(eva.State, 1);
    t.Pump();
    StartGames(t.Server().State, t.Server().View);
    t.Pump();
    Side& late = t.Join("Udo");
    EXPECT_FALSE(late.InLobby);
    EXPECT_EQ(late.View.Errors,
              (std::vector<std::string>{
                  "Verbindung zum Server fehlgeschlagen.\nSpiel auf dem Server läuft bereits."}));
    EXPECT_EQ(t.Server().State.PlayerCount, 2);
}

}  // namespace
}  // namespace tavlora
