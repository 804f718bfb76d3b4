// SPDX-License-Identifier: GPL-3.0-or-later
// The game record: the initial position seen from either side, the clocks and identity set
// by CreateGame, squares off the board, and empty squares with a stale colour.
#include <gtest/gtest.h>

#include "rules_support.h"

namespace tavlora {
namespace {

using test::TestContext;

struct Placement {
    int32_t x;
    int32_t y;
    int32_t piece;
    int32_t colour;
};

void ExpectPieces(const Game& game, std::initializer_list<Placement> placements) {
    for (const Placement& p : placements) {
        const Square& square = game.Board[p.x][p.y];
        EXPECT_EQ(square.Piece, p.piece) << "at " << SquareText(p.x, p.y);
        EXPECT_EQ(square.Colour, p.colour) << "at " << SquareText(p.x, p.y);
    }
}

TEST(CreateGame, WhiteAtTheBottom) {
    TestContext context;
    GamesList games;
    const Game& game = CreateGame(games, 3, 5, White, context);

    ExpectPieces(game, {{0, 0, Rook, White},
                        {1, 0, Knight, White},
                        {2, 0, Bishop, White},
                        {3, 0, Queen, White},
                        {4, 0, King, White},
                        {5, 0, Bishop, White},
                        {6, 0, Knight, White},
                        {7, 0, Rook, White},
                        {0, 7, Rook, Black},
                        {3, 7, Queen, Black},
                        {4, 7, King, Black},
                        {7, 7, Rook, Black}});
    for (int32_t x = 0; x < 8; ++x) {
        ExpectPieces(game, {{x, 1, Pawn, White}, {x, 6, Pawn, Black}});
        for (int32_t y = 0; y < 8; ++y) {
            EXPECT_EQ(game.Board[x][y].Moved, 0);
            if (y >= 2 && y <= 5) {
                EXPECT_EQ(game.Board[x][y].Piece, Empty);
            }
        }
    }
    EXPECT_EQ(game.PlayerIndex[White], 3);
    EXPECT_EQ(game.PlayerIndex[Black], 5);
    EXPECT_EQ(game.SideToMove, White);
    EXPECT_EQ(game.BottomColour, White);
    EXPECT_EQ(game.State, Running);
    EXPECT_EQ(game.EnPassantFile, -1);
    EXPECT_EQ(game.Result, Undecided);
    EXPECT_EQ(game.Moves.size(), 20u);
    EXPECT_TRUE(game.History.empty());
}

TEST(CreateGame, BlackAtTheBottomKeepsTheKingsFacingEachOther) {
    TestContext context;
    GamesList games;
    const Game& game = CreateGame(games, 0, 1, Black, context);

    ExpectPieces(game, {{3, 0, King, Black},
                        {4, 0, Queen, Black},
                        {0, 0, Rook, Black},
                        {3, 7, King, White},
                        {4, 7, Queen, White},
                        {7, 7, Rook, White},
                        {2, 1, Pawn, Black},
                        {5, 6, Pawn, White}});
    EXPECT_EQ(game.SideToMove, White);
    EXPECT_EQ(game.BottomColour, Black);
    // White's pawns advance towards rank 0 here: sixteen pawn moves and four knight moves.
    EXPECT_EQ(game.Moves.size(), 20u);
    for (const Move& move : game.Moves) {
        EXPECT_LT(move.ToY, move.FromY);
    }
}

TEST(CreateGame, RecordsNeverMoveWhenGamesAreAdded) {
    TestContext context;
    GamesList games;
    const Game* first = &CreateGame(games, 0, 1, White, context);
    for (int32_t i = 0; i < 200; ++i) {
        CreateGame(games, i, i + 1, White, context);
    }
    EXPECT_EQ(first, &games.front());
    EXPECT_EQ(games.size(), 201u);
}

struct ClockCase {
    int32_t timeByPlayer;
    int32_t timeByMove;
    int32_t playerTimeLeft;     // both colours
    uint32_t whitePlayerStamp;  // Black's stays 0
    int32_t moveTimeLeft;       // both colours
    uint32_t whiteMoveStamp;
};

class CreateGameClocks : public testing::TestWithParam<ClockCase> {};

TEST_P(CreateGameClocks, StartWhitesClocksOnly) {
    const ClockCase& c = GetParam();
    TestContext context;
    context.Now = 777;
    context.TimeByPlayer = c.timeByPlayer;
    context.TimeByMove = c.timeByMove;
    GamesList games;
    const Game& game = CreateGame(games, 0, 1, White, context);

    EXPECT_EQ(game.PlayerTimeLeft[White], c.playerTimeLeft);
    EXPECT_EQ(game.PlayerTimeLeft[Black], c.playerTimeLeft);
    EXPECT_EQ(game.PlayerClockStamp[White], c.whitePlayerStamp);
    EXPECT_EQ(game.PlayerClockStamp[Black], 0u);
    EXPECT_EQ(game.MoveTimeLeft[White], c.moveTimeLeft);
    EXPECT_EQ(game.MoveTimeLeft[Black], c.moveTimeLeft);
    EXPECT_EQ(game.MoveClockStamp[White], c.whiteMoveStamp);
    EXPECT_EQ(game.MoveClockStamp[Black], 0u);
}

INSTANTIATE_TEST_SUITE_P(Limits, CreateGameClocks,
                         testing::Values(ClockCase{0, 0, 0, 0, 0, 0},
                                         ClockCase{15, 0, 900, 777, 0, 0},
                                         ClockCase{0, 2, 0, 0, 120, 777},
                                         ClockCase{5, 1, 300, 777, 60, 777}));

TEST(CreateGame, NoClocksLeaveTheTickCounterUnread) {
    RulesContext context;  // no TickCount at all
    GamesList games;
    EXPECT_EQ(CreateGame(games, 0, 1, White, context).PlayerClockStamp[White], 0u);
}

TEST(CreateGame, TwoPlayersAtOneBoardHandTheIdentityToWhite) {
    TestContext context;
    context.TwoPlayersAtOneBoard = true;
    context.OwnPlayerIndex = 0;
    GamesList games;
    CreateGame(games, 1, 0, White, context);
    EXPECT_EQ(context.OwnPlayerIndex, 1);

    context.TwoPlayersAtOneBoard = false;  // network mode: the identity is the network's business
    CreateGame(games, 2, 3, White, context);
    EXPECT_EQ(context.OwnPlayerIndex, 1);
}

TEST(SquareAt, AnswersNoneOffTheBoard) {
    GameValue game{};
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {8, 0}, {0, 8}, {-1, 8}, {8, 8}}) {
        EXPECT_EQ(SquareAt(game, x, y), nullptr) << x << "," << y;
    }
    EXPECT_EQ(SquareAt(game, 0, 0), &game.Board[0][0]);
    EXPECT_EQ(SquareAt(game, 7, 7), &game.Board[7][7]);
    EXPECT_EQ(SquareAt(game, 2, 5), &game.Board[2][5]);
}

TEST(Sign, OfNegativeZeroAndPositive) {
    EXPECT_EQ(Sign(-7), -1);
    EXPECT_EQ(Sign(0), 0);
    EXPECT_EQ(Sign(3), 1);
}

TEST(Square, AnEmptySquareWithAStaleColourIsStillEmpty) {
    TestContext context;
    // The rook on h8 is Black; after it leaves, h8 keeps Colour 1 but holds nothing.
    Game game = test::FromFen("4k2r/8/8/8/8/8/8/4K2R b - - 0 1", context);
    ASSERT_TRUE(test::Play(game, context, "h8h5"));
    ASSERT_TRUE(test::Play(game, context, "h1h2"));
    EXPECT_EQ(game.Board[7][7].Piece, Empty);
    EXPECT_EQ(game.Board[7][7].Colour, Black);
    // Black's rook may go back there: the stale colour is no own piece in the way.
    EXPECT_NE(test::Find(game, "h5h8"), nullptr);
    EXPECT_EQ(test::Find(game, "h5h8")->Kind, Quiet);
}

}  // namespace
}  // namespace tavlora
