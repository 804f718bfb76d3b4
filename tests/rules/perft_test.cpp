// SPDX-License-Identifier: GPL-3.0-or-later
// Perft, the proof that the generator plays real chess: leaf counts of well-known positions
// that exercise castling, en passant, promotion, pins and checks; and the FEN set-up.
#include <gtest/gtest.h>

#include <algorithm>

#include "perft_cases.h"

namespace tavlora::test {
namespace {

TEST_P(PerftCount, MatchesTheKnownCount) {
    ExpectPerft(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Positions, PerftCount,
    testing::Values(
        PerftCase{"Initial1", InitialFen, 1, 20}, PerftCase{"Initial2", InitialFen, 2, 400},
        PerftCase{"Initial3", InitialFen, 3, 8902}, PerftCase{"Initial4", InitialFen, 4, 197281},
        PerftCase{"Initial5", InitialFen, 5, 4865609}, PerftCase{"Kiwipete1", KiwipeteFen, 1, 48},
        PerftCase{"Kiwipete2", KiwipeteFen, 2, 2039}, PerftCase{"Kiwipete3", KiwipeteFen, 3, 97862},
        // Rook and pawns: en passant that would expose the king on its rank.
        PerftCase{"Position3", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
        // In check at the root, promotions with capture, castling for Black only.
        PerftCase{"Position4", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
                  3, 9467},
        PerftCase{"Position4Mirrored",
                  "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 3, 9467},
        PerftCase{"Position5", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3,
                  62379},
        PerftCase{"Position6",
                  "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - "
                  "0 10",
                  3, 89890},
        PerftCase{"Depth0", KiwipeteFen, 0, 1},
        PerftCase{"Checkmated", "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 2, 0}),
    CaseName());

TEST(Divide, SplitsThePerftByRootMoveWithPromotionsSpelledOut) {
    TestContext context;
    const Game game = FromFen("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", context);
    const std::vector<DivideEntry> entries = Divide(game, 2, context);
    ASSERT_EQ(entries.size(), 44u);
    uint64_t total = 0;
    std::vector<std::string> names;
    for (const DivideEntry& entry : entries) {
        total += entry.Nodes;
        names.push_back(CoordinateText(entry.RootMove));
    }
    EXPECT_EQ(total, 1486u);
    for (const char* promotion : {"d7c8q", "d7c8r", "d7c8b", "d7c8n", "e1g1"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), promotion), names.end()) << promotion;
    }
}

TEST(GameFromFen, CastlingRightsBecomeMovedFlags) {
    TestContext context;
    const Game game = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1", context);
    EXPECT_EQ(game.Board[4][0].Moved, 0);
    EXPECT_EQ(game.Board[7][0].Moved, 0);
    EXPECT_EQ(game.Board[0][0].Moved, 1);
    EXPECT_EQ(game.Board[4][7].Moved, 0);
    EXPECT_EQ(game.Board[0][7].Moved, 0);
    EXPECT_EQ(game.Board[7][7].Moved, 1);
    EXPECT_EQ(game.SideToMove, White);
    EXPECT_EQ(game.BottomColour, White);
    EXPECT_EQ(game.EnPassantFile, -1);
}

TEST(GameFromFen, SetsTheTurnUpAsAMoveWould) {
    TestContext context;
    // Black to move in check from the rook: no castling, only the king's moves out of it.
    const Game game = FromFen("r3k2r/8/8/8/8/8/8/R3K1R1 b kq - 0 1", context);
    EXPECT_EQ(game.SideToMove, Black);
    EXPECT_EQ(game.State, Running);
    const Game checked = FromFen("r3k2r/8/8/8/8/8/8/R3R1K1 b kq - 0 1", context);
    EXPECT_EQ(checked.State, Check);
    EXPECT_EQ(MovesText(checked.Moves), "e8d7 e8f7 e8d8 e8f8");
    const Game enPassant = FromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", context);
    EXPECT_EQ(enPassant.EnPassantFile, 3);
}

struct BadFen {
    const char* name;
    const char* fen;
};

class GameFromBadFen : public testing::TestWithParam<BadFen> {};

TEST_P(GameFromBadFen, IsRefusedWithAReason) {
    Lookahead lookahead;
    const FenGame set = GameFromFen(GetParam().fen, lookahead);
    EXPECT_FALSE(set.game.has_value());
    EXPECT_FALSE(set.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GameFromBadFen,
    testing::Values(BadFen{"Empty", ""}, BadFen{"TooFewFields", "4k3/8/8/8/8/8/8/4K3 w -"},
                    BadFen{"TooManyFields", "4k3/8/8/8/8/8/8/4K3 w - - 0 1 2"},
                    BadFen{"NoKings", "8/8/8/8/8/8/8/8 w - -"},
                    BadFen{"TwoWhiteKings", "4k3/8/8/8/8/8/8/3KK3 w - -"},
                    BadFen{"SevenRanks", "4k3/8/8/8/8/8/4K3 w - -"},
                    BadFen{"NineRanks", "4k3/8/8/8/8/8/8/8/4K3 w - -"},
                    BadFen{"TrailingSlash", "4k3/8/8/8/8/8/8/4K3/ w - -"},
                    BadFen{"RankTooLong", "4k3/8/8/8/8/8/8/4K4 w - -"},
                    BadFen{"PieceBeyondTheRank", "4k3/8/8/8/8/8/8/4K2RR w - -"},
                    BadFen{"RankTooShort", "4k3/8/8/8/8/8/8/4K2 w - -"},
                    BadFen{"DigitNine", "4k3/9/8/8/8/8/8/4K3 w - -"},
                    BadFen{"UnknownLetter", "4k3/8/8/8/8/8/8/4K2X w - -"},
                    BadFen{"SideToMove", "4k3/8/8/8/8/8/8/4K3 x - -"},
                    BadFen{"CastlingWithoutRook", "4k3/8/8/8/8/8/8/4K3 w K -"},
                    BadFen{"CastlingKingElsewhere", "4k3/8/8/8/8/8/8/R2K4 w Q -"},
                    BadFen{"CastlingTwice", "4k3/8/8/8/8/8/8/4K2R w KK -"},
                    BadFen{"CastlingLetter", "4k3/8/8/8/8/8/8/4K2R w X -"},
                    BadFen{"EnPassantWithoutPawn", "4k3/8/8/8/8/8/8/4K3 w - e6"},
                    BadFen{"EnPassantWrongRank", "4k3/8/8/4p3/8/8/8/4K3 w - e3"},
                    BadFen{"EnPassantGarbage", "4k3/8/8/8/8/8/8/4K3 w - z9x"}),
    CaseName());

}  // namespace
}  // namespace tavlora::test
