// SPDX-License-Identifier: GPL-3.0-or-later
// Move generation: the order of the board scan, the movement of each piece, pawn advances,
// captures, promotion and en passant, castling with its conditions, and the attack test.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "rules/execute.h"
#include "rules/movegen.h"
#include "rules_support.h"

namespace tavlora {
namespace {

using test::FromFen;
using test::MovesText;
using test::Play;
using test::TestContext;

TEST(GenerateMoves, OpeningMovesInScanOrder) {
    TestContext context;
    GamesList games;
    const Game& game = CreateGame(games, 0, 1, White, context);
    EXPECT_EQ(MovesText(game.Moves),
              "b1c3 b1a3 g1h3 g1f3 a2a3 a2a4 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 "
              "g2g3 g2g4 h2h3 h2h4");
    for (const Move& move : game.Moves) {
        EXPECT_EQ(move.Kind, Quiet);
        EXPECT_EQ(move.Promotion, NoPromotion);
        EXPECT_EQ(move.Piece, game.Board[move.FromX][move.FromY].Piece);
    }
}

TEST(GenerateMoves, EmptiesTheListFirst) {
    TestContext context;
    GamesList games;
    const Game& game = CreateGame(games, 0, 1, White, context);
    MoveList list(5, Move{});
    GenerateMoves(game, White, list);
    EXPECT_EQ(list.size(), 20u);
}

struct PieceCase {
    const char* name;
    const char* fen;
    int32_t x;  // the piece whose moves are listed, in generation order
    int32_t y;
    const char* moves;
    const char* kinds;  // Q quiet, C capture, per move
};

class PieceMoves : public testing::TestWithParam<PieceCase> {};

TEST_P(PieceMoves, InGenerationOrder) {
    const PieceCase& c = GetParam();
    TestContext context;
    const Game game = FromFen(c.fen, context);
    MoveList list;
    GenerateMoves(game, game.SideToMove, list);
    MoveList own;
    std::string kinds;
    for (const Move& move : list) {
        if (move.FromX == c.x && move.FromY == c.y) {
            own.push_back(move);
            kinds += move.Kind == Quiet ? 'Q' : move.Kind == Capture ? 'C' : '?';
            EXPECT_EQ(move.Piece, game.Board[c.x][c.y].Piece);
        }
    }
    EXPECT_EQ(MovesText(own), c.moves);
    EXPECT_EQ(kinds, c.kinds);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, PieceMoves,
    testing::Values(
        // An own piece above, an opponent three files on: nothing upwards, the capture ends it.
        PieceCase{"RookBlockedAndCapturing", "4k3/8/8/8/8/8/P7/R2n1K2 w - - 0 1", 0, 0,
                  "a1b1 a1c1 a1d1", "QQC"},
        PieceCase{"KnightInStepOrder", "4k3/8/8/8/3N4/8/8/4K3 w - - 0 1", 3, 3,
                  "d4b3 d4c2 d4e2 d4f3 d4f5 d4e6 d4c6 d4b5", "QQQQQQQQ"},
        PieceCase{"KnightInTheCorner", "4k3/8/8/8/8/8/2p5/N3K3 w - - 0 1", 0, 0, "a1c2 a1b3", "CQ"},
        PieceCase{"BishopDiagonals", "4k3/8/8/8/8/2b5/1B6/7K w - - 0 1", 1, 1,
                  "b2a1 b2c1 b2a3 b2c3", "QQQC"},
        PieceCase{"QueenAllEightDirections", "4k3/8/8/8/8/1p6/QP6/4K3 w - - 0 1", 0, 1,
                  "a2a1 a2b1 a2a3 a2a4 a2a5 a2a6 a2a7 a2a8 a2b3", "QQQQQQQQC"},
        PieceCase{"KingStepsRowByRow", "7k/8/8/8/8/4n3/2PK4/8 w - - 0 1", 3, 1,
                  "d2c1 d2d1 d2e1 d2e2 d2c3 d2d3 d2e3", "QQQQQQC"},
        PieceCase{"PawnAdvanceBlockedOnRankTwo", "4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1", 4, 1, "", ""},
        PieceCase{"PawnDoubleAdvanceBlocked", "4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1", 4, 1, "e2e3",
                  "Q"},
        PieceCase{"PawnCapturesLeftThenRight", "4k3/8/8/8/8/3r1b2/4P3/4K3 w - - 0 1", 4, 1,
                  "e2e3 e2e4 e2d3 e2f3", "QQCC"},
        PieceCase{"BlackPawnAdvancesDownwards", "4k3/3p4/2N1B3/8/8/8/8/4K3 b - - 0 1", 3, 6,
                  "d7d6 d7d5 d7c6 d7e6", "QQCC"},
        PieceCase{"NoCaptureOfAnOwnPiece", "4k3/8/8/8/8/3N1N2/4P3/4K3 w - - 0 1", 4, 1, "e2e3 e2e4",
                  "QQ"}),
    test::CaseName());

TEST(GenerateMoves, PromotionsAreListedOncePending) {
    TestContext context;
    Game game = FromFen("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1", context);
    const Move* advance = test::Find(game, "a7a8");
    const Move* capture = test::Find(game, "a7b8");
    ASSERT_NE(advance, nullptr);
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(advance->Kind, Quiet);
    EXPECT_EQ(advance->Promotion, PromotionPending);
    EXPECT_EQ(capture->Kind, Capture);
    EXPECT_EQ(capture->Promotion, PromotionPending);
    EXPECT_EQ(game.Moves.size(), 2u + 5u);  // two pawn moves and five king moves
}

TEST(GenerateMoves, EnPassantOnlyRightAfterTheDoubleAdvance) {
    TestContext context;
    Game game = FromFen("4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", context);
    ASSERT_TRUE(Play(game, context, "d7d5"));
    EXPECT_EQ(game.EnPassantFile, 3);
    const Move* capture = test::Find(game, "e5d6");
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->Kind, EnPassant);
    EXPECT_EQ(capture->Piece, Pawn);

    ASSERT_TRUE(Play(game, context, "e1e2"));
    ASSERT_TRUE(Play(game, context, "e8e7"));
    EXPECT_EQ(game.EnPassantFile, -1);
    EXPECT_EQ(test::Find(game, "e5d6"), nullptr);
}

TEST(GenerateMoves, BlackCapturesEnPassantTowardsRankZero) {
    TestContext context;
    Game game = FromFen("4k3/8/8/8/5p2/8/4P3/4K3 w - - 0 1", context);
    ASSERT_TRUE(Play(game, context, "e2e4"));
    const Move* capture = test::Find(game, "f4e3");
    ASSERT_NE(capture, nullptr);
    EXPECT_EQ(capture->Kind, EnPassant);
}

struct CastlingCase {
    const char* name;
    const char* fen;
    bool kingside;
    bool queenside;
};

class CastlingConditions : public testing::TestWithParam<CastlingCase> {};

TEST_P(CastlingConditions, IsListedOnlyWhenAllowed) {
    const CastlingCase& c = GetParam();
    TestContext context;
    Game game = FromFen(c.fen, context);
    const Move* shortCastling = test::Find(game, "e1g1");
    const Move* longCastling = test::Find(game, "e1c1");
    EXPECT_EQ(shortCastling != nullptr, c.kingside);
    EXPECT_EQ(longCastling != nullptr, c.queenside);
    for (const Move* move : {shortCastling, longCastling}) {
        if (move != nullptr) {
            EXPECT_EQ(move->Kind, Castling);
            EXPECT_EQ(move->Piece, King);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CastlingConditions,
    testing::Values(
        CastlingCase{"BothWays", "4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, true},
        CastlingCase{"RookMoved", "4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", false, true},
        CastlingCase{"CrossedSquareAttacked", "4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, true},
        // The destination is left to the legality filter: refused all the same.
        CastlingCase{"DestinationAttacked", "2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, false},
        CastlingCase{"InCheck", "4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, false},
        CastlingCase{"KnightBesideTheRook", "4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1", true, false},
        // The king never crosses b1, so an attack there does not matter.
        CastlingCase{"OnlyB1Attacked", "1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, true}),
    test::CaseName());

TEST(CastlingMoves, NotAfterTheKingWentAwayAndCameBack) {
    TestContext context;
    Game game = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", context);
    for (const char* move : {"e1f1", "e8f8", "f1e1", "f8e8"}) {
        ASSERT_TRUE(Play(game, context, move)) << move;
    }
    EXPECT_EQ(game.Board[4][0].Moved, 1);
    EXPECT_EQ(test::Find(game, "e1g1"), nullptr);
    EXPECT_EQ(test::Find(game, "e1c1"), nullptr);
}

TEST(CastlingMoves, BlackAtTheBottomCastlesToFilesOneAndFive) {
    TestContext context;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, Black, context);
    // Clear Black's back rank between king and rooks, then let Black (at the bottom) move.
    for (int32_t x : {1, 2, 4, 5, 6}) {
        game.Board[x][0].Piece = Empty;
    }
    game.SideToMove = Black;
    MoveList list;
    GenerateMoves(game, Black, list);
    const Move* shortCastling = FindMove(list, 3, 0, 1, 0);
    const Move* longCastling = FindMove(list, 3, 0, 5, 0);
    ASSERT_NE(shortCastling, nullptr);
    ASSERT_NE(longCastling, nullptr);
    EXPECT_EQ(shortCastling->Kind, Castling);
    EXPECT_EQ(longCastling->Kind, Castling);
}

// The check test looks outwards from a square instead of listing moves; over many positions of
// random games, with either colour at the bottom, it must name exactly the squares the
// generator lists captures onto.
TEST(Attacks, NamesExactlyTheSquaresTheGeneratorCapturesOnto) {
    std::mt19937 random(7);
    TestContext context;
    GamesList games;
    int compared = 0;
    for (int round = 0; round < 40; ++round) {
        Game& game = CreateGame(games, 0, 1, round % 2 == 0 ? White : Black, context);
        for (int ply = 0; ply < 120 && IsRunning(game); ++ply) {
            for (int32_t colour : {White, Black}) {
                MoveList list;
                GenerateMoves(game, colour, list);
                for (int32_t x = 0; x < 8; ++x) {
                    for (int32_t y = 0; y < 8; ++y) {
                        const Square& square = game.Board[x][y];
                        if (square.Piece == Empty || square.Colour == colour) {
                            continue;
                        }
                        const bool listed = std::ranges::any_of(list, [x, y](const Move& m) {
                            return m.Kind == Capture && m.ToX == x && m.ToY == y;
                        });
                        ASSERT_EQ(Attacks(game, colour, x, y), listed)
                            << "colour " << colour << " onto " << x << y << " after "
                            << game.History.size() << " plies of game " << round;
                        ++compared;
                    }
                }
            }
            Move move = game.Moves[random() % game.Moves.size()];
            if (move.Promotion == PromotionPending) {
                move.Promotion = static_cast<int32_t>(Bishop + random() % 4);
            }
            ExecuteMove(game, move, context);
        }
    }
    EXPECT_GT(compared, 100000);
}

TEST(AppendMove, AppendsAPlainMoveForTheCallerToAmend) {
    MoveList list;
    AppendMove(list, 1, 2, 3, 4, Capture).Promotion = PromotionPending;
    const Move expected{1, 2, 3, 4, Capture, PromotionPending, 0};
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], expected);
    AppendMove(list, 0, 0, 0, 1, Quiet);
    EXPECT_EQ(list.back(), (Move{0, 0, 0, 1, Quiet, NoPromotion, 0}));
}

}  // namespace
}  // namespace tavlora
