// SPDX-License-Identifier: GPL-3.0-or-later
// The way back after a dropped connection, over loopback: a participant whose connection ends
// after the start is away, not gone, comes back by himself and plays on with every game as the
// server has it (a move that never reached the server undone); a program started again gets the
// whole tournament; returns that may not be are refused, guessing is cut short, and a peer
// without the way back sees nothing new and leaves at once as before.
#include <gtest/gtest.h>

#include "net/game_catch_up.h"
#include "net/reconnect.h"
#include "net/return_desk.h"
#include "net/senders.h"
#include "net/server.h"
#include "rules/execute.h"
#include "tournament.h"

namespace tavlora {
namespace {

// A tournament whose host grants 120 s and counts on a clock the test moves.
class WayBack : public ::testing::Test {
protected:
    void SetUp() override {
        t.Server().State.RejoinSeconds = 120;
        t.Server().State.TickCount = [this] { return now; };
    }

    Side& Anna() { return t.Participant(1); }
    Side& Bert() { return t.Participant(2); }

    // The game between Anna and Bert, with its key.
    Game& AnnaBert(Side& side) { return PairGame(side, 1, 2); }
    // Plays the next pawn move of whoever is to move in Anna's game against Bert.
    void PlayInAnnaBert() {
        const Game& game = AnnaBert(t.Server());
        const int32_t file = static_cast<int32_t>(game.History.size());
        const bool white = game.SideToMove == White;
        t.Play(game.PlayerIndex[White], game.PlayerIndex[Black], file, white ? 1 : 6, file,
               white ? 2 : 5);
    }

    // Anna's program stands still while her connection ends; the server notices.
    void DropAnna() {
        Anna().Hung = true;
        t.Drop(Anna());
        t.Pump();
    }

    Tournament t{"Max"};
    uint32_t now = 1000;
};

TEST_F(WayBack, ADroppedParticipantIsAwayThenBackByHimselfAndEveryGameGoesOn) {
    StartWith(t, {"Anna", "Bert"});
    Side& anna = Anna();
    Side& bert = Bert();
    if (AnnaBert(t.Server()).SideToMove == SideOf(AnnaBert(t.Server()), 1)) {
        PlayInAnnaBert();
    }
    DropAnna();
    for (Side* side : {&t.Server(), &bert}) {
        EXPECT_EQ(side->View.Rows[1].Name, "Anna (abwesend)");
        EXPECT_EQ(side->View.Chat.back(), "Anna hat die Verbindung verloren.");
    }
    for (const Game& game : t.Server().State.Games) {
        EXPECT_TRUE(IsRunning(game));
    }
    PlayInAnnaBert();  // Bert moves while she is away

    anna.Hung = false;
    t.Pump();
    EXPECT_TRUE(anna.View.Errors.empty());
    EXPECT_EQ(anna.View.Returns, 1);
    EXPECT_FALSE(anna.View.Reconnecting);
    for (Side* side : {&t.Server(), &bert, &anna}) {
        EXPECT_EQ(side->View.Rows[1].Name, "Anna");
        EXPECT_EQ(side->View.Chat.back(), "Anna ist wieder da.");
    }
    // Bert's move reached her as a move added, not as a game built anew.
    EXPECT_TRUE(anna.View.Replaced.empty());
    EXPECT_EQ(anna.View.Moved.back(), &AnnaBert(anna));
    ExpectSameGames(t);

    const size_t plies = AnnaBert(bert).History.size();
    PlayInAnnaBert();  // and she plays on
    EXPECT_EQ(AnnaBert(bert).History.size(), plies + 1);
    ExpectSameGames(t);
}

TEST_F(WayBack, AMoveThatNeverReachedTheServerIsUndoneOnTheReturn) {
    StartWith(t, {"Anna", "Bert"});
    Side& anna = Anna();
    if (AnnaBert(t.Server()).SideToMove != SideOf(AnnaBert(t.Server()), 1)) {
        PlayInAnnaBert();
    }
    const MoveList before = AnnaBert(t.Server()).History;
    DropAnna();
    // Before her program has noticed, she moves: into a connection that is gone.
    Game& copy = AnnaBert(anna);
    const Move move = copy.Moves.front();
    SendMove(anna.State, copy, move);
    ExecuteMove(copy, move, anna.State);

    anna.Hung = false;
    t.Pump();
    EXPECT_EQ(anna.View.Replaced, (std::vector<const Game*>{&copy}));
    EXPECT_EQ(copy.History, before);
    EXPECT_EQ(copy.PlayerIndex[copy.SideToMove], 1);  // still hers to move
    ExpectSameGames(t);
}

TEST_F(WayBack, AProgramStartedAgainGetsTheWholeTournament) {
    StartWith(t, {"Anna", "Bert", "Cleo"});
    PlayInAnnaBert();
    PlayInAnnaBert();
    Side& cleo = t.Participant(3);
    SendGameCommand(cleo.State, PairGame(cleo, 2, 3), GameCommand::Resign);
    t.Pump();

    Side& again = t.Restart(Anna());
    EXPECT_TRUE(again.View.Rows.empty());
    t.Pump();
    EXPECT_EQ(again.State.PlayPhase, GamesStartedPhase);
    EXPECT_TRUE(again.View.GamesStarted);
    EXPECT_EQ(again.View.Returns, 1);
    EXPECT_EQ(again.State.OwnPlayerIndex, 1);
    EXPECT_EQ(again.View.Rows, t.Server().View.Rows);
    ExpectSameGames(t);  // the finished game with its Result too

    PlayInAnnaBert();
    ExpectSameGames(t);
}

// The states of a large tournament's games reach a returning program in several pieces of many
// games each; every game arrives, the last piece's too.
TEST(WayBackLarge, AProgramStartedAgainGetsEveryGameOfALargeTournament) {
    constexpr int32_t Participants = 60;  // 1,770 games: far more states than one piece holds
    Tournament t{"Max", Participants};
    t.Server().State.RejoinSeconds = 120;
    t.Server().State.TickCount = [] { return 1000u; };
    std::vector<std::string> names;
    for (int32_t i = 1; i < Participants; ++i) {
        names.push_back("Teilnehmer " + std::to_string(i));
    }
    StartWith(t, names);
    // A move in the first piece's games and in the last piece's, e2-e4 by White.
    const GamesList& games = t.Server().State.Games;
    for (const size_t i : {size_t{0}, games.size() / 2, games.size() - 1}) {
        t.Play(games[i].PlayerIndex[White], games[i].PlayerIndex[Black], 4, 1, 4, 3);
    }

    Side& again = t.Restart(t.Participant(1));
    t.Pump();
    EXPECT_EQ(again.View.Returns, 1);
    ExpectSameGames(t);
}

TEST_F(WayBack, AfterTheGraceTimeTheParticipantHasLeftAndHisReturnIsRefused) {
    StartWith(t, {"Anna", "Bert"});
    Side& anna = Anna();
    DropAnna();
    now += 120 * 1000 + 1;
    t.Pump();
    for (Side* side : {&t.Server(), &Bert()}) {
        EXPECT_TRUE(side->State.Players[1].Left);
        EXPECT_EQ(side->View.Rows[1].Name, "Anna");
        for (const Game& game : side->State.Games) {
            EXPECT_EQ(game.State, SideOf(game, 1) >= 0 ? Resigned : Running);
        }
    }
    anna.Hung = false;
    t.Pump();
    EXPECT_EQ(anna.View.Errors, (std::vector<std::string>{"Verbindung zum Server unterbrochen."}));
    EXPECT_FALSE(HoldsTicket(anna.State));
}

TEST_F(WayBack, ReturnsThatMayNotBeAreRefusedAndGuessingIsCutShort) {
    StartWith(t, {"Anna", "Bert"});
    const ReturnSecret secret = t.Server().State.Players[1].Secret;
    ReturnSecret wrong = secret;
    wrong[15] ^= 1;
    MsgReturn other{.Index = 1, .Secret = secret};
    other.Tag[0] = 'X';
    struct Case {
        const char* What;
        Message Sent;
        bool Refused;  // MsgReturnRefused before the end, else the end alone
    };
    const Case cases[] = {
        {"wrong secret", MsgReturn{.Index = 1, .Secret = wrong}, true},
        {"the host's index", MsgReturn{.Index = 0, .Secret = secret}, true},
        {"beyond the table", MsgReturn{.Index = 9, .Secret = secret}, true},
        {"another program's magic", other, false},
        {"not a return", MsgChat{1, "Hallo"}, false},
        {"wrong again", MsgReturn{.Index = 2, .Secret = wrong}, true},
        {"and again", MsgReturn{.Index = 2, .Secret = secret}, true},
        // Five refused in this second: the next is not even looked at.
        {"beyond the limit", MsgReturn{.Index = 1, .Secret = wrong}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        auto peer = RawPeer::ConnectTo(t.Port());
        t.Pump();
        EXPECT_EQ(peer->NextMessage(), Message(MsgRefusedRunning{}));
        peer->Send(c.Sent);
        t.Pump();
        NetEvent event = peer->Next();
        if (c.Refused) {
            EXPECT_EQ(event.Received, Message(MsgReturnRefused{}));
            event = peer->Next();
        }
        EXPECT_EQ(event.Kind, NetEventKind::Closed);
    }
    // Nothing changed for those who are there.
    EXPECT_NE(t.Server().State.Players[1].PlayerConnection, NoConnection);
    EXPECT_TRUE(Bert().View.Chat.empty());

    // A peer that says nothing is let go after a few seconds, as a peer without the way back
    // closes by itself.
    auto silent = RawPeer::ConnectTo(t.Port());
    t.Pump();
    EXPECT_EQ(silent->NextMessage(), Message(MsgRefusedRunning{}));
    now += ReturnWaitMilliseconds;
    t.Pump();
    EXPECT_EQ(silent->Next().Kind, NetEventKind::Closed);
}

TEST_F(WayBack, AReturnTakesThePlaceOfAConnectionNotYetNoticedDead) {
    StartWith(t, {"Anna", "Bert"});
    Side& anna = Anna();
    anna.Hung = true;  // her connection stands, as far as the server can tell
    const ConnectionId old = t.Server().State.Players[1].PlayerConnection;
    auto peer = RawPeer::ConnectTo(t.Port());
    t.Pump();
    EXPECT_EQ(peer->NextMessage(), Message(MsgRefusedRunning{}));
    peer->Send(MsgReturn{.Index = 1, .Secret = t.Server().State.Players[1].Secret});
    t.Pump();
    const std::optional<Message> welcome = peer->NextMessage();
    ASSERT_TRUE(welcome && std::holds_alternative<MsgWelcomeBack>(*welcome));
    EXPECT_EQ(std::get<MsgWelcomeBack>(*welcome).Index, 1);
    for (size_t i = 0; i < t.Server().State.Games.size(); ++i) {
        const std::optional<Message> state = peer->NextMessage();
        EXPECT_TRUE(state && std::holds_alternative<MsgGameState>(*state));
    }
    EXPECT_NE(t.Server().State.Players[1].PlayerConnection, old);
    EXPECT_TRUE(Bert().View.Chat.empty());  // nobody saw her away

    // Her own program finds its connection closed, comes back and takes the place again.
    anna.Hung = false;
    t.Pump();
    EXPECT_EQ(peer->Next().Kind, NetEventKind::Closed);
    EXPECT_TRUE(anna.View.Errors.empty());
    ExpectSameGames(t);
}

TEST_F(WayBack, APeerWithoutTheWayBackSeesNothingNewAndLeavesAtOnce) {
    t.Join("Anna");
    auto udo = RawPeer::ConnectTo(t.Port());
    t.Pump();
    std::vector<Message> received{*udo->NextMessage()};
    udo->Send(MsgName{2, "Udo"});
    udo->Send(MsgReady{2, 1});
    SendReady(Anna().State, 1);
    t.Pump();
    StartGames(t.Server().State, t.Server().View);
    t.Pump();
    DropAnna();
    Anna().Hung = false;
    t.Pump();
    EXPECT_EQ(Anna().View.Returns, 1);
    for (NetEvent event = udo->Next(); event.Kind == NetEventKind::MessageArrived;
         event = udo->Next()) {
        received.push_back(event.Received);
    }
    for (const Message& message : received) {
        EXPECT_LE(message.index(), MsgResign::Code) << "code " << message.index();
    }

    udo->Network.Close(udo->Connection);
    t.Pump();
    EXPECT_TRUE(t.Server().State.Players[2].Left);
    for (const Game& game : Anna().State.Games) {
        EXPECT_EQ(game.State, SideOf(game, 2) >= 0 ? Resigned : Running);
    }
}

}  // namespace
}  // namespace tavlora
