// SPDX-License-Identifier: GPL-3.0-or-later
// SAN of single moves in set-up positions, and whole games written as PGN.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "rules/clock.h"
#include "rules/pgn.h"
#include "rules/san.h"
#include "rules_support.h"

namespace tavlora {
namespace {

struct SanCase {
    const char* name;
    const char* fen;
    const char* squares;
    int32_t promotion;
    const char* san;
};

class Sans : public testing::TestWithParam<SanCase> {};

TEST_P(Sans, NameTheMoveInItsPosition) {
    const SanCase& c = GetParam();
    test::TestContext context;
    Game game = test::FromFen(c.fen, context);
    Move* move = test::Find(game, c.squares);
    ASSERT_NE(move, nullptr) << c.squares;
    if (move->Promotion == PromotionPending) {
        move->Promotion = c.promotion;
    }
    const Move played = *move;
    EXPECT_EQ(PlaySan(game, played, context.Scratch), c.san);
    // The position afterwards is the one a full execution reaches.
    Game reference = test::FromFen(c.fen, context);
    ExecuteMove(reference, played, context);
    EXPECT_EQ(game.SideToMove, reference.SideToMove);
    EXPECT_EQ(game.State == Checkmate, reference.State == Checkmate);
    EXPECT_EQ(0, std::memcmp(game.Board, reference.Board, sizeof game.Board));
}

constexpr const char* Castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
constexpr const char* CastlesBlack = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";
// A white pawn on e7 that may advance or take the rook on d8; no promotion gives check.
constexpr const char* Promotions = "3r4/4P3/k7/8/8/8/8/4K3 w - - 0 1";

INSTANTIATE_TEST_SUITE_P(
    Table, Sans,
    testing::Values(
        SanCase{"PawnAdvance", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "e2e4", 0, "e4"},
        SanCase{"PawnCapture", "4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0, "exd5"},
        SanCase{"EnPassant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 0, "exd6"},
        SanCase{"KnightsByFile", "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1", "b1d2", 0, "Nbd2"},
        SanCase{"KnightsByRank", "4k3/8/8/6N1/8/8/8/4K1N1 w - - 0 1", "g5f3", 0, "N5f3"},
        SanCase{"RooksByFile", "4k3/8/8/8/8/8/7K/R6R w - - 0 1", "h1d1", 0, "Rhd1"},
        SanCase{"RooksByRank", "4k3/8/8/R7/8/8/8/R3K3 w - - 0 1", "a1a3", 0, "R1a3"},
        SanCase{"QueensByBoth", "8/7k/8/8/1Q6/8/1Q1Q4/K7 w - - 0 1", "b2d4", 0, "Qb2d4"},
        // The knight on c3 is pinned, so only one knight can reach e2.
        SanCase{"PinnedRivalIsNoRival", "4k3/8/8/8/1b6/2N5/8/4K1N1 w - - 0 1", "g1e2", 0, "Ne2"},
        SanCase{"PieceCapture", "7k/8/2p5/1B6/8/8/8/4K3 w - - 0 1", "b5c6", 0, "Bxc6"},
        SanCase{"King", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", "e1e2", 0, "Ke2"},
        SanCase{"Queen", Promotions, "e7e8", Queen, "e8=Q"},
        SanCase{"Rook", Promotions, "e7e8", Rook, "e8=R"},
        SanCase{"Bishop", Promotions, "e7e8", Bishop, "e8=B"},
        SanCase{"Knight", Promotions, "e7e8", Knight, "e8=N"},
        SanCase{"QueenTakes", Promotions, "e7d8", Queen, "exd8=Q"},
        SanCase{"RookTakes", Promotions, "e7d8", Rook, "exd8=R"},
        SanCase{"BishopTakes", Promotions, "e7d8", Bishop, "exd8=B"},
        SanCase{"KnightTakes", Promotions, "e7d8", Knight, "exd8=N"},
        SanCase{"WhiteShort", Castles, "e1g1", 0, "O-O"},
        SanCase{"WhiteLong", Castles, "e1c1", 0, "O-O-O"},
        SanCase{"BlackShort", CastlesBlack, "e8g8", 0, "O-O"},
        SanCase{"BlackLong", CastlesBlack, "e8c8", 0, "O-O-O"},
        SanCase{"CheckByCastling", "5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0, "O-O+"},
        SanCase{"Check", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", 0, "Ra8+"},
        SanCase{"PromotionWithCheck", "k7/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8", Rook, "e8=R+"},
        SanCase{"PromotionWithMate", "k7/4P3/1K6/8/8/8/8/8 w - - 0 1", "e7e8", Queen, "e8=Q#"},
        SanCase{"Mate", "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", 0,
                "Qh4#"},
        SanCase{"CaptureWithMate",
                "r1bqkbnr/pppp1ppp/2n5/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 0 4", "h5f7", 0,
                "Qxf7#"}),
    test::CaseName());

// Plays every move in squares ("e2e4 e7e5 ...") from the initial position.
Game Played(const char* squares, test::TestContext& context, int32_t promotion = Queen) {
    GamesList games;
    Game game = CreateGame(games, 0, 1, White, context);
    std::istringstream moves(squares);
    std::string move;
    while (moves >> move) {
        EXPECT_TRUE(test::Play(game, context, move, promotion)) << move;
    }
    return game;
}

TEST(Pgn, ExportFormatOfAFinishedGame) {
    test::TestContext context;
    Game game = Played("f2f3 e7e5 g2g4 d8h4", context);
    game.Result = ResultOf(game);
    const PgnTags tags{.Event = "Tavlora-Turnier",
                       .Date = "2024.03.09",
                       .White = "Anna \"die Schnelle\"",
                       .Black = "B\\rt\tX",
                       .TimeByPlayer = 5};
    EXPECT_EQ(PgnText(game, tags, context.Scratch),
              "[Event \"Tavlora-Turnier\"]\n"
              "[Site \"?\"]\n"
              "[Date \"2024.03.09\"]\n"
              "[Round \"-\"]\n"
              "[White \"Anna \\\"die Schnelle\\\"\"]\n"
              "[Black \"B\\\\rt?X\"]\n"
              "[Result \"0-1\"]\n"
              "[Termination \"normal\"]\n"
              "[TimeControl \"300\"]\n"
              "\n"
              "1. f3 e5 2. g4 Qh4# 0-1\n"
              "\n");
}

TEST(Pgn, TerminationAndResultOfEveryEnd) {
    struct End {
        int32_t state;
        int32_t result;
        bool abandoned;
        const char* termination;
        const char* token;
    };
    for (const End& end : {End{Resigned, White, false, "normal", "1-0"},
                           End{TimeOut, Black, false, "time forfeit", "0-1"},
                           End{DrawAgreed, Draw, false, "normal", "1/2-1/2"},
                           End{Resigned, Black, true, "abandoned", "0-1"},
                           End{Running, Undecided, false, "unterminated", "*"}}) {
        test::TestContext context;
        Game game = Played("e2e4", context);
        game.State = end.state;
        game.Result = end.result;
        const std::string text = PgnText(
            game,
            {.Event = "E", .Date = "D", .White = "W", .Black = "B", .Abandoned = end.abandoned},
            context.Scratch);
        EXPECT_NE(text.find(std::string("[Termination \"") + end.termination + "\"]"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string("[Result \"") + end.token + "\"]"), std::string::npos);
        EXPECT_NE(text.find(std::string("\n1. e4 ") + end.token + "\n\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find("[TimeControl \"-\"]"), std::string::npos);
    }
}

TEST(Pgn, LongGamesWrapAt79CharactersBetweenTokens) {
    // Knights out and back, 160 plies: the lines must break, and only between tokens.
    test::TestContext context;
    std::string squares;
    for (int i = 0; i < 40; ++i) {
        squares += "g1f3 g8f6 f3g1 f6g8 ";
    }
    Game game = Played(squares.c_str(), context);
    const std::string text = PgnText(game, {}, context.Scratch);
    const std::string movetext = text.substr(text.find("\n\n") + 2);
    std::istringstream lines(movetext);
    std::string line;
    std::string joined;
    int count = 0;
    while (std::getline(lines, line) && !line.empty()) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_NE(line.front(), ' ');
        EXPECT_NE(line.back(), ' ');
        joined += (joined.empty() ? "" : " ") + line;
        ++count;
    }
    EXPECT_GT(count, 5);
    EXPECT_EQ(joined.substr(0, 24), "1. Nf3 Nf6 2. Ng1 Ng8 3.");
    EXPECT_TRUE(joined.ends_with(" 80. Ng1 Ng8 *")) << joined;
}

}  // namespace
}  // namespace tavlora
