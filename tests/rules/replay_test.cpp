// SPDX-License-Identifier: GPL-3.0-or-later
// Whole games replayed move by move through ExecuteMove, checking after every move the
// history, the state, the side to move and the text of the move.
#include <gtest/gtest.h>

#include <vector>

#include "rules_support.h"

namespace tavlora {
namespace {

struct Ply {
    const char* squares;
    const char* text;
    int32_t state = Running;  // after the move
};

// Castling on both sides, en passant, a check and a promotion.
const std::vector<Ply> LongGame = {
    {"e2e4", "e2-e4"},      {"g8f6", "Ng8-f6"}, {"e4e5", "e4-e5"},        {"d7d5", "d7-d5"},
    {"e5d6", "e5xd6 e.p."}, {"d8d6", "Qd8xd6"}, {"g1f3", "Ng1-f3"},       {"c8g4", "Bc8-g4"},
    {"f1e2", "Bf1-e2"},     {"b8c6", "Nb8-c6"}, {"e1g1", "0-0"},          {"e8c8", "0-0-0"},
    {"a2a4", "a2-a4"},      {"e7e5", "e7-e5"},  {"a4a5", "a4-a5"},        {"e5e4", "e5-e4"},
    {"a5a6", "a5-a6"},      {"e4f3", "e4xf3"},  {"a6b7", "a6xb7", Check}, {"c8d7", "Kc8-d7"},
    {"b7b8", "b7-b8"},
};

const std::vector<Ply> FoolsMate = {
    {"f2f3", "f2-f3"}, {"e7e5", "e7-e5"}, {"g2g4", "g2-g4"}, {"d8h4", "Qd8-h4", Checkmate}};

// The shortest known stalemate from the initial position.
const std::vector<Ply> StalemateGame = {
    {"e2e3", "e2-e3"},
    {"a7a5", "a7-a5"},
    {"d1h5", "Qd1-h5"},
    {"a8a6", "Ra8-a6"},
    {"h5a5", "Qh5xa5"},
    {"h7h5", "h7-h5"},
    {"h2h4", "h2-h4"},
    {"a6h6", "Ra6-h6"},
    {"a5c7", "Qa5xc7"},
    {"f7f6", "f7-f6"},
    {"c7d7", "Qc7xd7", Check},
    {"e8f7", "Ke8-f7"},
    {"d7b7", "Qd7xb7"},
    {"d8d3", "Qd8-d3"},
    {"b7b8", "Qb7xb8"},
    {"d3h7", "Qd3-h7"},
    {"b8c8", "Qb8xc8"},
    {"f7g6", "Kf7-g6"},
    {"c8e6", "Qc8-e6", Stalemate},
};

// Plays plies from the initial position, a promotion becoming a queen, and checks every
// move on the way.
void Replay(const std::vector<Ply>& plies, Game& game, RulesContext& context) {
    for (std::size_t i = 0; i < plies.size(); ++i) {
        const Ply& ply = plies[i];
        const int32_t mover = game.SideToMove;
        ASSERT_TRUE(test::Play(game, context, ply.squares)) << "not listed: " << ply.squares;
        ASSERT_EQ(game.History.size(), i + 1);
        EXPECT_EQ(MoveText(game.History.back()), ply.text) << ply.squares;
        EXPECT_EQ(game.State, ply.state) << ply.squares;
        // After a final move SideToMove names the side that cannot move.
        EXPECT_EQ(game.SideToMove, 1 - mover) << ply.squares;
        EXPECT_EQ(game.Moves.empty(), ply.state == Checkmate || ply.state == Stalemate)
            << ply.squares;
    }
}

struct GameCase {
    const char* name;
    const std::vector<Ply>* plies;
};

class Replays : public testing::TestWithParam<GameCase> {};

TEST_P(Replays, EveryMoveAsExpected) {
    test::TestContext context;
    GamesList games;
    Replay(*GetParam().plies, CreateGame(games, 0, 1, White, context), context);
}

INSTANTIATE_TEST_SUITE_P(Games, Replays,
                         testing::Values(GameCase{"LongGame", &LongGame},
                                         GameCase{"FoolsMate", &FoolsMate},
                                         GameCase{"Stalemate", &StalemateGame}),
                         test::CaseName());

TEST(Replays, LongGameEndsWithCastledKingsAndANewQueen) {
    test::TestContext context;
    GamesList games;
    Game& game = CreateGame(games, 0, 1, White, context);
    Replay(LongGame, game, context);
    EXPECT_EQ(game.Board[6][0].Piece, King);
    EXPECT_EQ(game.Board[5][0].Piece, Rook);
    EXPECT_EQ(game.Board[3][7].Piece, Rook);  // Black's rook from the long castling
    EXPECT_EQ(game.Board[3][6].Piece, King);  // Black's king, driven from c8 to d7
    EXPECT_EQ(game.Board[1][7].Piece, Queen);
    EXPECT_EQ(game.Board[1][7].Colour, White);
    EXPECT_EQ(game.History.back().Promotion, Queen);
}

}  // namespace
}  // namespace tavlora
