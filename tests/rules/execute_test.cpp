// SPDX-License-Identifier: GPL-3.0-or-later
// Move execution: the board changes of every kind of move, the en passant file, check and
// the legality filter, checkmate and stalemate, the clocks and the single-player identity,
// and the probe form.
#include <gtest/gtest.h>

#include <array>

#include "rules_support.h"

namespace tavlora {
namespace {

using test::Find;
using test::FromFen;
using test::MovesText;
using test::Play;
using test::TestContext;

// The moves of game.Moves that start on the square named by text ("d2").
std::string MovesFrom(const Game& game, std::string_view from) {
    MoveList own;
    for (const Move& move : game.Moves) {
        if (move.FromX == from[0] - 'a' && move.FromY == from[1] - '1') {
            own.push_back(move);
        }
    }
    return MovesText(own);
}

TEST(ExecuteMove, EnPassantFileFollowsTheLastMove) {
    TestContext context;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, White, context);
    ASSERT_TRUE(Play(game, context, "e2e4"));
    EXPECT_EQ(game.EnPassantFile, 4);
    ASSERT_TRUE(Play(game, context, "e7e5"));
    EXPECT_EQ(game.EnPassantFile, 4);
    ASSERT_TRUE(Play(game, context, "g1f3"));
    EXPECT_EQ(game.EnPassantFile, -1);
    ASSERT_TRUE(Play(game, context, "d7d6"));
    EXPECT_EQ(game.EnPassantFile, -1);
}

struct CastlingCase {
    const char* name;
    const char* fen;
    const char* move;
    int32_t kingX;
    int32_t rookX;
    int32_t rookFromX;
    const char* text;
};

class CastlingExecution : public testing::TestWithParam<CastlingCase> {};

TEST_P(CastlingExecution, MovesKingAndRook) {
    const CastlingCase& c = GetParam();
    TestContext context;
    Game game = FromFen(c.fen, context);
    const int32_t y = game.SideToMove == White ? 0 : 7;
    const int32_t colour = game.SideToMove;
    ASSERT_TRUE(Play(game, context, c.move));

    const Square& king = game.Board[c.kingX][y];
    const Square& rook = game.Board[c.rookX][y];
    EXPECT_EQ(king.Piece, King);
    EXPECT_EQ(king.Colour, colour);
    EXPECT_EQ(king.Moved, 1);
    EXPECT_EQ(rook.Piece, Rook);
    EXPECT_EQ(rook.Colour, colour);
    EXPECT_EQ(rook.Moved, 1);
    EXPECT_EQ(game.Board[4][y].Piece, Empty);
    EXPECT_EQ(game.Board[c.rookFromX][y].Piece, Empty);
    ASSERT_EQ(game.History.size(), 1u);
    EXPECT_EQ(game.History[0].Kind, Castling);
    EXPECT_EQ(MoveText(game.History[0]), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    BothWays, CastlingExecution,
    testing::Values(
        CastlingCase{"WhiteShort", "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1", 6, 5, 7, "0-0"},
        CastlingCase{"WhiteLong", "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1", 2, 3, 0, "0-0-0"},
        CastlingCase{"BlackShort", "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8g8", 6, 5, 7, "0-0"},
        CastlingCase{"BlackLong", "r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8c8", 2, 3, 0, "0-0-0"}),
    test::CaseName());

TEST(CastlingFromFileThree, MovesKingAndRook) {
    TestContext context;
    GamesList games;
    for (auto [toX, kingX, rookX, rookFromX] : {std::array{1, 1, 2, 0}, {5, 5, 4, 7}}) {
        Game& game = CreateGame(games, 0, 1, Black, context);
        for (int32_t x : {1, 2, 4, 5, 6}) {
            game.Board[x][0].Piece = Empty;
        }
        game.SideToMove = Black;
        ExecuteMove(game, Move{3, 0, toX, 0, Castling, NoPromotion, King}, context);
        EXPECT_EQ(game.Board[kingX][0].Piece, King) << toX;
        EXPECT_EQ(game.Board[rookX][0].Piece, Rook) << toX;
        EXPECT_EQ(game.Board[3][0].Piece, Empty) << toX;
        EXPECT_EQ(game.Board[rookFromX][0].Piece, Empty) << toX;
    }
}

TEST(ExecuteMove, EnPassantRemovesThePawnBesideTheOrigin) {
    TestContext context;
    Game game = FromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", context);
    ASSERT_TRUE(Play(game, context, "d7d5"));
    ASSERT_TRUE(Play(game, context, "e5d6"));
    EXPECT_EQ(game.Board[3][4].Piece, Empty);
    EXPECT_EQ(game.Board[4][4].Piece, Empty);
    EXPECT_EQ(game.Board[3][5].Piece, Pawn);
    EXPECT_EQ(game.Board[3][5].Colour, White);
    EXPECT_EQ(game.Board[3][5].Moved, 1);
    EXPECT_EQ(MoveText(game.History.back()), "e5xd6 e.p.");
}

TEST(ExecuteMove, EnPassantThatOpensALineToTheOwnKingIsNotListed) {
    TestContext context;
    Game game = FromFen("8/8/8/KPp4r/8/8/8/4k3 w - c6 0 1", context);
    EXPECT_EQ(MovesFrom(game, "b5"), "b5b6");
}

struct PromotionCase {
    int32_t piece;
    int32_t state;
};

class Promotions : public testing::TestWithParam<PromotionCase> {};

TEST_P(Promotions, BecomesTheChosenPieceAndMayGiveCheck) {
    TestContext context;
    Game game = FromFen("8/P1k5/8/8/8/8/8/4K3 w - - 0 1", context);
    ASSERT_TRUE(Play(game, context, "a7a8", GetParam().piece));
    const Square& square = game.Board[0][7];
    EXPECT_EQ(square.Piece, GetParam().piece);
    EXPECT_EQ(square.Colour, White);
    EXPECT_EQ(square.Moved, 1);
    EXPECT_EQ(game.State, GetParam().state);
    EXPECT_EQ(MoveText(game.History.back()), "a7-a8");
}

INSTANTIATE_TEST_SUITE_P(Pieces, Promotions,
                         testing::Values(PromotionCase{Knight, Check},
                                         PromotionCase{Queen, Running},
                                         PromotionCase{Rook, Running},
                                         PromotionCase{Bishop, Running}));

TEST(ExecuteMove, AStillPendingPromotionLeavesAPawn) {
    TestContext context;
    Game game = FromFen("8/P1k5/8/8/8/8/8/4K3 w - - 0 1", context);
    ExecuteMove(game, *Find(game, "a7a8"), context);
    EXPECT_EQ(game.Board[0][7].Piece, Pawn);
}

TEST(ExecuteMove, AnUnknownKindIsPlayedAsAPlainMove) {
    TestContext context;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, White, context);
    ExecuteMove(game, Move{4, 1, 4, 3, 9, NoPromotion, Pawn}, context);
    EXPECT_EQ(game.Board[4][3].Piece, Pawn);
    EXPECT_EQ(game.Board[4][1].Piece, Empty);
    EXPECT_EQ(game.EnPassantFile, 4);
    EXPECT_EQ(game.Moves.size(), 20u);
}

TEST(ExecuteMove, EveryMoveLeftAfterACheckEndsIt) {
    TestContext context;
    Game game = FromFen("4k3/1r6/8/8/1B6/2N5/3P1P2/R3K2R b KQ - 0 1", context);
    ASSERT_TRUE(Play(game, context, "b7e7"));
    EXPECT_EQ(game.State, Check);
    EXPECT_EQ(game.SideToMove, White);
    // Step aside, block with the knight, or take the checking rook; no castling.
    EXPECT_EQ(MovesText(game.Moves), "e1d1 e1f1 c3e2 c3e4 b4e7");
}

TEST(ExecuteMove, APinnedBishopStaysOnItsLine) {
    TestContext context;
    const Game game = FromFen("4k3/8/8/b7/8/8/3B4/4K3 w - - 0 1", context);
    EXPECT_EQ(MovesFrom(game, "d2"), "d2c3 d2b4 d2a5");
}

TEST(ExecuteMove, AKingNeverStepsNextToTheOtherKing) {
    TestContext context;
    const Game game = FromFen("8/8/8/3k4/8/3K4/8/8 w - - 0 1", context);
    EXPECT_EQ(MovesText(game.Moves), "d3c2 d3d2 d3e2 d3c3 d3e3");
}

TEST(ExecuteMove, FoolsMate) {
    TestContext context;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, White, context);
    for (const char* move : {"f2f3", "e7e5", "g2g4", "d8h4"}) {
        ASSERT_TRUE(Play(game, context, move)) << move;
    }
    EXPECT_EQ(game.State, Checkmate);
    EXPECT_EQ(game.SideToMove, White);
    EXPECT_TRUE(game.Moves.empty());
    EXPECT_EQ(game.History.size(), 4u);
    EXPECT_EQ(game.Result, Undecided);  // left to the game window
}

TEST(ExecuteMove, Stalemate) {
    TestContext context;
    Game game = FromFen("7k/1Q6/5K2/8/8/8/8/8 w - - 0 1", context);
    ASSERT_TRUE(Play(game, context, "b7f7"));
    EXPECT_EQ(game.State, Stalemate);
    EXPECT_EQ(game.SideToMove, Black);
    EXPECT_TRUE(game.Moves.empty());
}

TEST(ExecuteMove, MoveClockRestartsForTheNewSideOnly) {
    TestContext context;
    context.TimeByPlayer = 10;
    context.TimeByMove = 2;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, White, context);
    game.MoveTimeLeft[White] = 100;  // as the running clock left it
    game.PlayerTimeLeft[White] = 590;

    context.Now = 5000;
    ASSERT_TRUE(Play(game, context, "e2e4"));
    EXPECT_EQ(game.MoveTimeLeft[Black], 120);
    EXPECT_EQ(game.MoveClockStamp[Black], 5000u);
    EXPECT_EQ(game.PlayerClockStamp[Black], 5000u);
    EXPECT_EQ(game.PlayerTimeLeft[Black], 600);
    EXPECT_EQ(game.MoveTimeLeft[White], 100);
    EXPECT_EQ(game.MoveClockStamp[White], 1000u);
    EXPECT_EQ(game.PlayerClockStamp[White], 1000u);
    EXPECT_EQ(game.PlayerTimeLeft[White], 590);

    context.Now = 9000;
    ASSERT_TRUE(Play(game, context, "e7e5"));
    EXPECT_EQ(game.MoveTimeLeft[White], 120);
    EXPECT_EQ(game.MoveClockStamp[White], 9000u);
    EXPECT_EQ(game.PlayerClockStamp[White], 9000u);
    EXPECT_EQ(game.MoveTimeLeft[Black], 120);
    EXPECT_EQ(game.MoveClockStamp[Black], 5000u);
}

TEST(ExecuteMove, AtOneBoardTheIdentityFollowsTheTurnToTheEnd) {
    TestContext context;
    context.TwoPlayersAtOneBoard = true;
    context.TimeByPlayer = 5;
    GamesList games;
    Game& game = CreateGame(games, 7, 9, White, context);
    EXPECT_EQ(context.OwnPlayerIndex, 7);
    for (const char* move : {"f2f3", "e7e5", "g2g4"}) {
        ASSERT_TRUE(Play(game, context, move)) << move;
        EXPECT_EQ(context.OwnPlayerIndex, game.PlayerIndex[game.SideToMove]) << move;
    }
    // The clocks and identity are handed over even by the move that ends the game.
    context.Now = 4242;
    ASSERT_TRUE(Play(game, context, "d8h4"));
    EXPECT_EQ(game.State, Checkmate);
    EXPECT_EQ(context.OwnPlayerIndex, 7);
    EXPECT_EQ(game.PlayerClockStamp[White], 4242u);
}

TEST(ExecuteMove, NetworkModeLeavesTheIdentityAlone) {
    TestContext context;
    context.OwnPlayerIndex = 9;
    GamesList games;
    Game& game = CreateGame(games, 9, 4, White, context);
    ASSERT_TRUE(Play(game, context, "e2e4"));
    EXPECT_EQ(context.OwnPlayerIndex, 9);
}

TEST(ProbeForm, TellsCheckForTheSideThatMovedAndTouchesNothingElse) {
    TestContext context;
    Game game = FromFen("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1", context);

    GameValue scratch = game;
    ExecuteMove(scratch, *Find(game, "a1a8"), Probe);
    EXPECT_EQ(scratch.State, Check);
    EXPECT_EQ(scratch.SideToMove, White);
    EXPECT_EQ(scratch.Board[0][7].Piece, Rook);
    EXPECT_EQ(scratch.Board[0][0].Piece, Empty);

    scratch = game;
    ExecuteMove(scratch, Move{0, 0, 0, 5, Quiet, NoPromotion, Rook}, Probe);
    EXPECT_EQ(scratch.State, Running);

    EXPECT_EQ(game.Board[0][0].Piece, Rook);  // the real game is untouched
    EXPECT_TRUE(game.History.empty());
}

}  // namespace
}  // namespace tavlora
