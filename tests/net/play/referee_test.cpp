// SPDX-License-Identifier: GPL-3.0-or-later
// The server as a referee that cannot be fooled, against a hand-driven client: clocks that lie
// or come too late, a client that never declares its own time-out, names taken twice or
// changed later, a place held without a name, and codes of a newer program. Each case was a
// way to win or to stall a tournament; here each ends the same on every honest side, also
// on that of an honest program that stood still for a while.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <optional>

#include "net/client.h"
#include "net/game_play.h"
#include "net/play_step.h"
#include "net/senders.h"
#include "net/server.h"
#include "rules/clock.h"
#include "rules/execute.h"
#include "tournament.h"

namespace tavlora {
namespace {

// A tournament with one-minute clocks (game and move) whose server counts on a clock the test
// moves, with Anna (1) and a hand-driven client named Hacker (2), both ready.
class Referee : public ::testing::Test {
protected:
    void SetUp() override {
        t.Server().State.TickCount = [this] { return now; };
        anna = &t.Join("Anna");
        hacker = RawPeer::ConnectTo(t.Port());
        t.Pump();
        ASSERT_TRUE(hacker->NextMessage());  // the welcome
        hacker->Send(MsgName{2, "Hacker"});
        hacker->Send(MsgReady{2, 1});
        SendReady(anna->State, 1);
        t.Pump();
    }

    // Starts the games and makes it the hacker's turn in its game against Anna.
    void StartWithHackerToMove() {
        StartGames(t.Server().State, t.Server().View);
        t.Pump();
        Game& game = ServerGame();
        hackerSide = SideOf(game, 2);
        if (hackerSide == Black) {
            t.Play(game.PlayerIndex[0], game.PlayerIndex[1], 4, 1, 4, 3);
        }
    }

    Game& ServerGame() { return GameOf(t.Server(), Key()[0], Key()[1]); }
    std::array<int32_t, 2> Key() {
        for (const Game& game : t.Server().State.Games) {
            if (SideOf(game, 1) >= 0 && SideOf(game, 2) >= 0) {
                return {game.PlayerIndex[0], game.PlayerIndex[1]};
            }
        }
        return {-1, -1};
    }

    // The hacker's next legal move in its game with Anna, claiming the given clocks; a pawn
    // that reaches the last rank becomes a queen.
    MsgMove HackerMove(int32_t playerTimeLeft, int32_t moveTimeLeft) {
        Move move = ServerGame().Moves.front();
        if (move.Promotion == PromotionPending) {
            move.Promotion = Queen;
        }
        return MsgMove{2, {Key()[0], Key()[1]}, playerTimeLeft, moveTimeLeft, move};
    }

    // Anna answers with her first legal move, so the hacker is to move again.
    void AnnaAnswers() {
        Game& game = GameOf(*anna, Key()[0], Key()[1]);
        const Move move = game.Moves.front();
        t.Play(Key()[0], Key()[1], move.FromX, move.FromY, move.ToX, move.ToY);
    }

    // The last message of the given kind that reached the hacker, if any.
    template <typename T>
    std::optional<T> LastToHacker() {
        std::optional<T> last;
        for (NetEvent event = hacker->Next(); event.Kind == NetEventKind::MessageArrived;
             event = hacker->Next()) {
            if (const T* message = std::get_if<T>(&event.Received)) {
                last = *message;
            }
        }
        return last;
    }

    uint32_t now = 1000;
    Tournament t{"Max", 8, 1, 1};
    Side* anna = nullptr;
    std::unique_ptr<RawPeer> hacker;
    int32_t hackerSide = White;
};

// What the hacker claims for its game and move clock after 10 s of its turn, when the
// server's count says 50 s on both, and what every side keeps.
struct Claim {
    ClockClaim Sent;
    ClockClaim Kept;
};

class RefereeClaims : public Referee, public ::testing::WithParamInterface<Claim> {};

TEST_P(RefereeClaims, AreKeptWithinTheLimitsAndTheServersCount) {
    StartWithHackerToMove();
    now += 10001;  // a second counts once more than 1000 ms have passed
    const Claim& claim = GetParam();
    hacker->Send(HackerMove(claim.Sent.PlayerTimeLeft, claim.Sent.MoveTimeLeft));
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& game = GameOf(*side, Key()[0], Key()[1]);
        EXPECT_EQ(game.PlayerTimeLeft[hackerSide], claim.Kept.PlayerTimeLeft);
        EXPECT_EQ(game.MoveTimeLeft[hackerSide], claim.Kept.MoveTimeLeft);
    }
}

INSTANTIATE_TEST_SUITE_P(Clocks, RefereeClaims,
                         ::testing::Values(Claim{{1000000, 1000000}, {50, 50}},
                                           Claim{{51, 49}, {50, 49}}, Claim{{48, 47}, {48, 47}},
                                           Claim{{-5, INT32_MIN}, {0, 0}}));

// A liar claims a million seconds with every move of a long game, each taking a second and
// a half of his turn: the allowance never adds up, and nobody is told of more time than the
// server counted.
TEST_F(Referee, ALiarsClockNeverRisesAboveTheServersCount) {
    StartWithHackerToMove();
    int turns = 0;
    for (; turns < 30 && IsRunning(ServerGame()); ++turns) {
        now += 1500;
        Game& game = ServerGame();
        TickOfPass counted(t.Server().State.TickCount);
        CountDownClocks(game, counted);
        const int32_t count = game.PlayerTimeLeft[hackerSide];
        hacker->Send(HackerMove(1000000, 1000000));
        t.Pump();
        ASSERT_EQ(game.SideToMove, 1 - hackerSide) << "move " << turns << " was not taken";
        for (Side* side : t.Sides()) {
            EXPECT_LE(GameOf(*side, Key()[0], Key()[1]).PlayerTimeLeft[hackerSide], count);
        }
        if (IsRunning(game)) {
            AnnaAnswers();
        }
    }
    EXPECT_EQ(turns, 30);
    EXPECT_LE(ServerGame().PlayerTimeLeft[hackerSide], 60 - turns);
}

TEST_F(Referee, AClientThatNeverDeclaresItsTimeOutLosesOnTimeEverywhere) {
    StartWithHackerToMove();
    const size_t played = ServerGame().History.size();
    now += 61000;  // the minute is over on the server's clock
    t.Pump();
    EXPECT_EQ(ServerGame().State, Running) << "still within the allowance";
    now += ClockAllowanceSeconds * 1000 + 1;
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& game = GameOf(*side, Key()[0], Key()[1]);
        EXPECT_EQ(game.State, TimeOut);
        EXPECT_EQ(game.Result, 1 - hackerSide);
    }
    EXPECT_TRUE(LastToHacker<MsgTimeout>()) << "the player who ran out is told too";

    // A minute later it moves and claims the whole minute: too late.
    now += 60000;
    hacker->Send(HackerMove(60, 60));
    t.Pump();
    for (Side* side : t.Sides()) {
        EXPECT_EQ(GameOf(*side, Key()[0], Key()[1]).History.size(), played);
    }
}

TEST_F(Referee, AMoveWithinTheAllowanceIsTakenWithNothingLeft) {
    StartWithHackerToMove();
    now += 61000;
    t.Pump();
    hacker->Send(HackerMove(60, 60));
    t.Pump();
    const Game& game = ServerGame();
    EXPECT_EQ(game.State, Running);
    EXPECT_EQ(game.SideToMove, 1 - hackerSide) << "the move was taken";
    EXPECT_EQ(game.PlayerTimeLeft[hackerSide], 0);
    // Whatever it claims, the next turn starts from what the referee kept.
    EXPECT_EQ(GameOf(*anna, Key()[0], Key()[1]).PlayerTimeLeft[hackerSide], 0);
}

// Anna's program stands still (in the promotion choice, say) while her minute runs out on the
// server; her move leaves as the referee's time-out comes the other way.
TEST_F(Referee, AMoveThatCrossesTheRefereesTimeOutLosesOnTheMoversBoardToo) {
    StartWithHackerToMove();
    hacker->Send(HackerMove(60, 60));
    t.Pump();
    anna->Hung = true;
    now += 63000;
    t.Pump();
    ASSERT_EQ(ServerGame().State, TimeOut);
    Game& board = GameOf(*anna, Key()[0], Key()[1]);
    const Move move = board.Moves.front();
    SendMove(anna->State, board, move);
    ExecuteMove(board, move, anna->State);
    anna->Hung = false;
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& game = GameOf(*side, Key()[0], Key()[1]);
        EXPECT_EQ(game.State, TimeOut);
        EXPECT_EQ(game.Result, hackerSide) << "Anna ran out of time";
    }
    EXPECT_EQ(ServerGame().History.size() + 1, board.History.size()) << "her move came too late";
}

// Anna's program stands still through her minute while the hacker says more than one pass
// takes and then resigns: running again, it reads what has come before it declares a time-out
// that the server would never take, and its windows get their turn in between.
TEST_F(Referee, AProgramThatFellBehindReadsBeforeItDeclaresItsTimeOut) {
    anna->State.TickCount = [this] { return now; };
    StartWithHackerToMove();
    hacker->Send(HackerMove(60, 60));
    t.Pump();
    anna->Hung = true;
    now += 61000;  // her minute is over; the server still waits for her program to say so
    for (int line = 0; line < MostNetworkEventsPerPass; ++line) {
        hacker->Send(MsgChat{2, "Ich gebe auf."});
    }
    hacker->Send(MsgResign{2, {Key()[0], Key()[1]}});
    t.Pump();
    anna->Hung = false;
    // One pass of her main loop: as many messages as a pass takes, then the game tick.
    const size_t chatBefore = anna->View.Chat.size();
    RunPlayStep(anna->State, anna->View);
    EXPECT_GT(anna->View.Chat.size(), chatBefore);
    EXPECT_LE(anna->View.Chat.size(), chatBefore + MostNetworkEventsPerPass);
    EXPECT_TRUE(IsRunning(GameOf(*anna, Key()[0], Key()[1])));
    t.Pump();
    for (Side* side : t.Sides()) {
        const Game& game = GameOf(*side, Key()[0], Key()[1]);
        EXPECT_EQ(game.State, Resigned);
        EXPECT_EQ(game.Result, 1 - hackerSide);
    }
}

TEST_F(Referee, NamesAreGivenOnceBeforeTheStartAndNeverTwice) {
    // A second name is not listened to.
    hacker->Send(MsgName{2, "Max"});
    t.Pump();
    for (Side* side : t.Sides()) {
        EXPECT_EQ(side->State.Players[2].PlayerName, "Hacker");
    }

    // A newcomer with a taken name, or none, is refused like a duplicate; of two newcomers
    // with one name only the first gets it.
    const char* const refused[] = {"Max", "Anna", ""};
    for (const char* name : refused) {
        SCOPED_TRACE(name);
        auto late = RawPeer::ConnectTo(t.Port());
        t.Pump();
        late->Send(MsgName{3, name});
        t.Pump();
        NetEvent event;
        do {
            event = late->Next();
        } while (event.Kind == NetEventKind::MessageArrived);
        EXPECT_EQ(event.Kind, NetEventKind::Closed);
        EXPECT_EQ(t.Server().State.PlayerCount, 3);
    }
    auto first = RawPeer::ConnectTo(t.Port());
    auto second = RawPeer::ConnectTo(t.Port());
    t.Pump();
    first->Send(MsgName{3, "Zoe"});
    second->Send(MsgName{4, "Zoe"});
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 4);
    EXPECT_EQ(t.Server().State.Players[3].PlayerName, "Zoe");
    EXPECT_EQ(anna->State.Players[3].PlayerName, "Zoe");
    first.reset();
    t.Pump();

    // After the start nobody renames: the host's name stays the host's alone.
    StartGames(t.Server().State, t.Server().View);
    t.Pump();
    hacker->Send(MsgName{2, "Max"});
    t.Pump();
    for (Side* side : t.Sides()) {
        EXPECT_EQ(side->State.Players[2].PlayerName, "Hacker");
    }
}

TEST_F(Referee, APlaceHeldWithoutANameIsFreedAfterTenSeconds) {
    auto silent = RawPeer::ConnectTo(t.Port());
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 4);
    EXPECT_FALSE(t.Server().View.StartEnabled);
    now += 10000;
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 4) << "ten seconds are allowed";
    now += 1;
    t.Pump();
    EXPECT_EQ(t.Server().State.PlayerCount, 3);
    EXPECT_TRUE(t.Server().View.StartEnabled);
    NetEvent event;
    do {
        event = silent->Next();
    } while (event.Kind == NetEventKind::MessageArrived);
    EXPECT_EQ(event.Kind, NetEventKind::Closed);
}

TEST_F(Referee, UnknownCodesAreDroppedAndTheSenderKeepsItsGames) {
    StartWithHackerToMove();
    hacker->SendRaw({1, 0, 0, 0, 0x7E});
    hacker->SendRaw({3, 0, 0, 0, 0x63, 1, 2});
    t.Pump();
    hacker->Send(HackerMove(60, 60));
    t.Pump();
    for (Side* side : t.Sides()) {
        for (const Game& game : side->State.Games) {
            EXPECT_NE(game.State, Resigned);
        }
        EXPECT_EQ(GameOf(*side, Key()[0], Key()[1]).History.size(), hackerSide == White ? 1u : 2u);
    }
}

}  // namespace
}  // namespace tavlora
