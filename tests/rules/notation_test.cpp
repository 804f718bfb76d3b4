// SPDX-License-Identifier: GPL-3.0-or-later
// Move notation and the look-up of a move by its squares.
#include <gtest/gtest.h>

#include "rules_support.h"

namespace tavlora {
namespace {

struct TextCase {
    Move move;
    const char* text;
};

class MoveTexts : public testing::TestWithParam<TextCase> {};

TEST_P(MoveTexts, DependOnTheRecordAlone) {
    EXPECT_EQ(MoveText(GetParam().move), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MoveTexts,
    testing::Values(TextCase{{4, 1, 4, 3, Quiet, NoPromotion, Pawn}, "e2-e4"},
                    TextCase{{6, 0, 5, 2, Quiet, NoPromotion, Knight}, "Ng1-f3"},
                    TextCase{{1, 4, 2, 5, Capture, NoPromotion, Bishop}, "Bb5xc6"},
                    TextCase{{3, 3, 4, 4, Capture, NoPromotion, Pawn}, "d4xe5"},
                    TextCase{{4, 4, 3, 5, EnPassant, NoPromotion, Pawn}, "e5xd6 e.p."},
                    TextCase{{4, 0, 6, 0, Castling, NoPromotion, King}, "0-0"},
                    TextCase{{4, 7, 2, 7, Castling, NoPromotion, King}, "0-0-0"},
                    // With the king on file 3: file 1 is the short, file 5 the long castling.
                    TextCase{{3, 0, 1, 0, Castling, NoPromotion, King}, "0-0"},
                    TextCase{{3, 7, 5, 7, Castling, NoPromotion, King}, "0-0-0"},
                    TextCase{{0, 6, 0, 7, Quiet, Queen, Pawn}, "a7-a8"},
                    TextCase{{0, 0, 0, 7, Capture, NoPromotion, Rook}, "Ra1xa8"},
                    TextCase{{3, 0, 7, 4, Quiet, NoPromotion, Queen}, "Qd1-h5"},
                    TextCase{{4, 0, 4, 1, Quiet, NoPromotion, King}, "Ke1-e2"},
                    // Codes this program does not know get no letter and an "x".
                    TextCase{{1, 1, 1, 2, 7, NoPromotion, 42}, "b2xb3"}));

TEST(SquareText, NamesEveryCorner) {
    EXPECT_EQ(SquareText(0, 0), "a1");
    EXPECT_EQ(SquareText(7, 0), "h1");
    EXPECT_EQ(SquareText(0, 7), "a8");
    EXPECT_EQ(SquareText(7, 7), "h8");
    EXPECT_EQ(SquareText(4, 3), "e4");
}

TEST(FindMove, FirstMatchNoneAndAPointerIntoTheList) {
    MoveList list = {{4, 1, 4, 3, Quiet, NoPromotion, Pawn},
                     {0, 6, 0, 7, Quiet, PromotionPending, Pawn},
                     {0, 6, 0, 7, Quiet, NoPromotion, Pawn},
                     {6, 0, 5, 2, Quiet, NoPromotion, Knight}};

    Move* found = FindMove(list, 0, 6, 0, 7);
    ASSERT_EQ(found, &list[1]);  // the first of the two matches
    found->Promotion = Knight;
    EXPECT_EQ(list[1].Promotion, Knight);

    EXPECT_EQ(FindMove(list, 6, 0, 5, 2), &list[3]);
    EXPECT_EQ(FindMove(list, 4, 1, 4, 2), nullptr);  // origin matches, destination not
    EXPECT_EQ(FindMove(list, 5, 1, 4, 3), nullptr);  // destination matches, origin not
    MoveList empty;
    EXPECT_EQ(FindMove(empty, 0, 0, 0, 0), nullptr);
}

}  // namespace
}  // namespace tavlora
