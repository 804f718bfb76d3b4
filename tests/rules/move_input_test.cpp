// SPDX-License-Identifier: GPL-3.0-or-later
// Typed moves read against set-up positions: every kind of legal move in SAN and in squares,
// the promotion with and without its piece, and the texts that name no move or more than one;
// and the next game that waits for a participant, round the list.
#include <gtest/gtest.h>

#include <vector>

#include "rules/move_input.h"
#include "rules/next_game.h"
#include "rules_support.h"

namespace tavlora {
namespace {

struct TypedCase {
    const char* name;
    const char* fen;
    const char* typed;
    const char* squares;  // the move it names, "" for none
    int32_t promotion;    // the Promotion it comes with
};

class TypedMoves : public testing::TestWithParam<TypedCase> {};

TEST_P(TypedMoves, NameTheLegalMoveOrNone) {
    const TypedCase& c = GetParam();
    test::TestContext context;
    const Game game = test::FromFen(c.fen, context);
    const std::optional<Move> move = ReadTypedMove(game, c.typed, context.Scratch);
    if (*c.squares == '\0') {
        EXPECT_FALSE(move.has_value()) << test::MovesText({*move});
        return;
    }
    ASSERT_TRUE(move.has_value());
    EXPECT_EQ(test::MovesText({*move}), c.squares);
    EXPECT_EQ(move->Promotion, c.promotion);
}

constexpr const char* Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* Castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
constexpr const char* CastlesBlack = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";
// A white pawn on e7 that may advance or take the rook on d8.
constexpr const char* Promotions = "3r4/4P3/k7/8/8/8/8/4K3 w - - 0 1";
constexpr const char* EnPassant = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
// Knights on b1 and f3 both reach d2; knights on g5 and g1 both reach f3.
constexpr const char* KnightsByFile = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
constexpr const char* KnightsByRank = "4k3/8/8/6N1/8/8/8/4K1N1 w - - 0 1";
constexpr const char* QueensByBoth = "8/7k/8/8/1Q6/8/1Q1Q4/K7 w - - 0 1";
constexpr const char* FoolsMate = "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2";

constexpr int32_t None = NoPromotion;

INSTANTIATE_TEST_SUITE_P(
    Table, TypedMoves,
    testing::Values(
        TypedCase{"PawnAdvance", Start, "e4", "e2e4", None},
        TypedCase{"Knight", Start, "Nf3", "g1f3", None},
        TypedCase{"BlanksAround", Start, " Nf3 ", "g1f3", None},
        TypedCase{"Squares", Start, "g1f3", "g1f3", None},
        TypedCase{"SquaresWithDash", Start, "e2-e4", "e2e4", None},
        TypedCase{"BlackKnight", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
                  "Nf6", "g8f6", None},
        TypedCase{"PawnCapture", "4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "exd5", "e4d5", None},
        TypedCase{"EnPassantSan", EnPassant, "exd6", "e5d6", None},
        TypedCase{"EnPassantSquares", EnPassant, "e5d6", "e5d6", None},
        TypedCase{"ShortCastling", Castles, "O-O", "e1g1", None},
        TypedCase{"LongCastling", Castles, "O-O-O", "e1c1", None},
        TypedCase{"ShortWithZeros", Castles, "0-0", "e1g1", None},
        TypedCase{"LongWithZeros", CastlesBlack, "0-0-0", "e8c8", None},
        TypedCase{"CastlingAsKingSquares", CastlesBlack, "e8g8", "e8g8", None},
        TypedCase{"ByFile", KnightsByFile, "Nbd2", "b1d2", None},
        TypedCase{"ByRank", KnightsByRank, "N5f3", "g5f3", None},
        TypedCase{"ByBoth", QueensByBoth, "Qb2d4", "b2d4", None},
        TypedCase{"Queen", Promotions, "e8=Q", "e7e8", Queen},
        TypedCase{"Rook", Promotions, "e8=R", "e7e8", Rook},
        TypedCase{"Bishop", Promotions, "e8=B", "e7e8", Bishop},
        TypedCase{"KnightTakes", Promotions, "exd8=N", "e7d8", Knight},
        TypedCase{"PieceWithoutEquals", Promotions, "e8Q", "e7e8", Queen},
        TypedCase{"PieceAfterSquares", Promotions, "e7e8n", "e7e8", Knight},
        TypedCase{"UpperPieceAfterSquares", Promotions, "e7d8R", "e7d8", Rook},
        // Without a piece the choice is left to the pop-up.
        TypedCase{"NoPieceSan", Promotions, "e8", "e7e8", PromotionPending},
        TypedCase{"NoPieceSquares", Promotions, "e7e8", "e7e8", PromotionPending},
        TypedCase{"CheckSign", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "Ra8+", "a1a8", None},
        TypedCase{"CheckSignLeftOut", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "Ra8", "a1a8", None},
        TypedCase{"MateSign", FoolsMate, "Qh4#", "d8h4", None},
        // What names no move, or not one alone.
        TypedCase{"AmbiguousFile", KnightsByFile, "Nd2", "", None},
        TypedCase{"AmbiguousRank", KnightsByRank, "Nf3", "", None},
        TypedCase{"Unreachable", Start, "Nf4", "", None},
        TypedCase{"OpponentsMove", Start, "e5", "", None},
        TypedCase{"PieceLetterLowerCase", Start, "nf3", "", None},
        TypedCase{"NoSuchSquares", Start, "e2e5", "", None},
        TypedCase{"PieceAfterAPlainMove", Start, "g1f3q", "", None},
        TypedCase{"KingIsNoPromotion", Promotions, "e8=K", "", None},
        TypedCase{"PromotionPieceLowerCaseInSan", Promotions, "e8=q", "", None},
        TypedCase{"CastlingOutOfTurn", Start, "O-O", "", None},
        TypedCase{"Nothing", Start, "", "", None}, TypedCase{"Words", Start, "Dame", "", None}),
    test::CaseName());

TEST(NextGameToMove, FindsTheNextWaitingGameRoundTheOrder) {
    // Participant 0 is to move in a and c; b waits for the opponent; d is over although its
    // side to move is 0's; e is not 0's game.
    std::vector<Game> games(5);
    const auto set = [](Game& game, int32_t white, int32_t black, int32_t side, int32_t state) {
        game.PlayerIndex[White] = white;
        game.PlayerIndex[Black] = black;
        game.SideToMove = side;
        game.State = state;
    };
    Game& a = games[0];
    Game& b = games[1];
    Game& c = games[2];
    Game& d = games[3];
    Game& e = games[4];
    set(a, 0, 1, White, Running);
    set(b, 2, 0, White, Running);
    set(c, 3, 0, Black, Check);
    set(d, 0, 4, White, Resigned);
    set(e, 1, 2, White, Running);
    const std::vector<Game*> order = {&e, &a, &b, &d, &c};

    EXPECT_EQ(NextGameToMove(order, 0, nullptr), &a);
    EXPECT_EQ(NextGameToMove(order, 0, &a), &c);
    EXPECT_EQ(NextGameToMove(order, 0, &c), &a) << "round to the top";
    EXPECT_EQ(NextGameToMove(order, 0, &b), &c);
    EXPECT_EQ(NextGameToMove(order, 0, &d), &c);
    EXPECT_EQ(NextGameToMove(order, 1, &e), &e) << "the only one waiting is the shown one";
    EXPECT_EQ(NextGameToMove(order, 4, nullptr), nullptr);
    EXPECT_EQ(NextGameToMove({}, 0, nullptr), nullptr);
    EXPECT_EQ(CountGamesToMove(order, 0), 2);
    EXPECT_EQ(CountGamesToMove(order, 2), 1);
    EXPECT_EQ(CountGamesToMove(order, 3), 0);
}

}  // namespace
}  // namespace tavlora
