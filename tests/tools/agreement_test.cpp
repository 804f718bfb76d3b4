// SPDX-License-Identifier: GPL-3.0-or-later
// The chaos run's judge against copies with seeded differences: each difference it must see
// (board, History, State, Result, clocks beyond the allowance, a game the server lacks, a
// crossing that is not one), and each it must let pass (a move of the copy's owner that
// crossed its game's end, its owner's time-out while his resignation was on its way, the
// clocks a fault may make its program count otherwise). A judge that never reports a
// mismatch fails here.
#include "chaos/agreement.h"

#include <gtest/gtest.h>

#include <functional>

#include "rules/clock.h"
#include "rules/rules_support.h"

namespace tavlora {
namespace {

constexpr int32_t Own = 1;  // the copy is participant 1's

// The server's games, Own to move in the first two: 0-1 running after 1. e4; 2-1 lost by
// White, who left after 1. f3 e5 2. g4; 1-3 drawn by agreement after 1. e4.
class Judge : public testing::Test {
protected:
    Judge() {
        context_.TimeByPlayer = 10;
        context_.TimeByMove = 1;
        Play(CreateGame(server_.Games, 0, Own, White, context_), "e2e4");
        Game& left = CreateGame(server_.Games, 2, Own, White, context_);
        for (const char* squares : {"f2f3", "e7e5", "g2g4"}) {
            Play(left, squares);
        }
        End(left, Resigned, White, Black);
        Game& drawn = CreateGame(server_.Games, Own, 3, White, context_);
        Play(drawn, "e2e4");
        End(drawn, DrawAgreed, Black, Draw);
    }

    void Play(Game& game, const char* squares) { ASSERT_TRUE(test::Play(game, context_, squares)); }
    static void End(Game& game, int32_t state, int32_t sideToMove, int32_t result) {
        game.State = state;
        game.SideToMove = sideToMove;
        game.Result = result;
    }
    // A move on its way when the game ended: played on its mover's board as if the game still
    // ran, which then learns of the end.
    void PlayAfterTheEnd(Game& game, const char* squares) {
        const Game ended = game;
        game.State = Running;
        game.SideToMove = static_cast<int32_t>(game.History.size() % 2);
        Play(game, squares);
        End(game, ended.State, ended.SideToMove, ended.Result);
    }

    // Participant Own's copy of the server's games, with change made to it.
    Agreement Compare(const std::function<void(GamesList&)>& change,
                      ClockCheck clocks = ClockCheck::All) {
        GamesList copy = server_.Games;
        change(copy);
        Agreement agreement;
        RefereeGames(server_).Compare(copy, Own, "Anna", clocks, agreement);
        EXPECT_EQ(agreement.Compared, 3);
        return agreement;
    }

    test::TestContext context_;
    ProgramState server_;
};

TEST_F(Judge, SeesEverySeededMismatch) {
    struct Case {
        const char* What;
        std::function<void(GamesList&)> Change;
        ClockCheck Clocks = ClockCheck::All;
    };
    const Case cases[] = {
        {"a piece elsewhere", [](GamesList& c) { std::swap(c[0].Board[6][0], c[0].Board[6][2]); }},
        {"an en passant file", [](GamesList& c) { c[0].EnPassantFile = 3; }},
        {"a move more while the game runs", [this](GamesList& c) { Play(c[0], "e7e5"); }},
        {"a move less", [](GamesList& c) { c[1].History.pop_back(); }},
        {"another State", [](GamesList& c) { c[0].State = DrawAgreed; }},
        {"another Result", [](GamesList& c) { c[1].Result = White; }},
        {"another loser", [](GamesList& c) { c[1].SideToMove = Black; }},
        {"a game clock beyond the allowance",
         [](GamesList& c) { c[0].PlayerTimeLeft[Black] += ClockAllowanceSeconds + 1; }},
        {"a move clock beyond the allowance",
         [](GamesList& c) { c[0].MoveTimeLeft[White] -= ClockAllowanceSeconds + 1; }},
        {"an opponent's clock, where only the own may differ",
         [](GamesList& c) { c[0].PlayerTimeLeft[White] -= 100; }, ClockCheck::Opponents},
        {"a game the server lacks", [](GamesList& c) { c[0].PlayerIndex[White] = 5; }},
        // Not crossings: the opponent's move, two moves, or one that leaves another end.
        {"a move of the opponent after the end",
         [this](GamesList& c) { PlayAfterTheEnd(c[2], "e7e5"); }},
        {"two moves after the end",
         [this](GamesList& c) {
             PlayAfterTheEnd(c[1], "a7a6");
             PlayAfterTheEnd(c[1], "h2h3");
         }},
        {"the opponent's time-out where the server has his departure",
         [](GamesList& c) { c[1].State = TimeOut; }},
        {"a crossing that leaves another Result",
         [this](GamesList& c) {
             PlayAfterTheEnd(c[1], "a7a6");
             c[1].Result = White;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const Agreement agreement = Compare(c.Change, c.Clocks);
        EXPECT_EQ(agreement.Mismatches.size(), 1u);
    }
}

TEST_F(Judge, LetsPassWhatTheProtocolItselfLeavesDifferent) {
    EXPECT_TRUE(Compare([](GamesList&) {}).Mismatches.empty());
    Agreement agreement = Compare([](GamesList& c) {
        c[0].PlayerTimeLeft[White] += ClockAllowanceSeconds;
        c[0].MoveTimeLeft[Black] -= ClockAllowanceSeconds;
    });
    EXPECT_TRUE(agreement.Mismatches.empty()) << "clocks within the allowance";

    // Own's move was on its way when White left: on its board alone, with the turn passed on
    // and White's move clock restarted there.
    agreement = Compare([this](GamesList& c) {
        PlayAfterTheEnd(c[1], "a7a6");
        c[1].MoveTimeLeft[White] = 7;
    });
    EXPECT_TRUE(agreement.Mismatches.empty());
    EXPECT_EQ(agreement.Crossings, 1);

    // Or it mated: the mover's board keeps the mate that ended its game there, with the same
    // winner as the departure gives on the server.
    agreement = Compare([this](GamesList& c) {
        Game& mated = c[1];
        End(mated, Running, Black, Undecided);
        Play(mated, "d8h4");
        ASSERT_EQ(mated.State, Checkmate);
        mated.Result = Black;
    });
    EXPECT_TRUE(agreement.Mismatches.empty());
    EXPECT_EQ(agreement.Crossings, 1);

    // Own's clock ran out while Own's resignation was on its way to the server.
    End(server_.Games[0], Resigned, Black, White);
    agreement = Compare([](GamesList& c) { c[0].State = TimeOut; });
    EXPECT_TRUE(agreement.Mismatches.empty());

    // Own's clocks, counted by a program that claims others, or every clock of one that
    // reads late.
    agreement =
        Compare([](GamesList& c) { c[0].PlayerTimeLeft[Black] += 100; }, ClockCheck::Opponents);
    EXPECT_TRUE(agreement.Mismatches.empty());
    agreement = Compare([](GamesList& c) { c[0].PlayerTimeLeft[White] -= 100; }, ClockCheck::None);
    EXPECT_TRUE(agreement.Mismatches.empty());
}

}  // namespace
}  // namespace tavlora
