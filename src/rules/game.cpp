// SPDX-License-Identifier: GPL-3.0-or-later
// The set-up of a new game in the games list.
#include <cassert>
#include <initializer_list>

#include "rules/execute.h"
#include "rules/game.h"
#include "rules/movegen.h"

namespace tavlora {

namespace {

// Back ranks from file 0 to file 7, by the bottom colour: seen from Black's side king and
// queen swap files, so the kings still face each other.
constexpr int32_t BackRank[2][8] = {
    {Rook, Knight, Bishop, Queen, King, Bishop, Knight, Rook},
    {Rook, Knight, Bishop, King, Queen, Bishop, Knight, Rook},
};

}  // namespace

GameValue InitialPosition(int32_t bottomColour) {
    assert(bottomColour == White || bottomColour == Black);
    // Value-initialised: every square starts Empty and unmoved, every clock at 0.
    GameValue position{};
    for (int32_t x = 0; x < 8; ++x) {
        for (int32_t y : {0, 1}) {
            position.Board[x][y].Colour = bottomColour;
            position.Board[x][7 - y].Colour = 1 - bottomColour;
        }
        position.Board[x][0].Piece = position.Board[x][7].Piece = BackRank[bottomColour][x];
        position.Board[x][1].Piece = position.Board[x][6].Piece = Pawn;
    }
    position.SideToMove = White;
    position.BottomColour = bottomColour;
    position.State = Running;
    position.EnPassantFile = -1;
    position.Result = Undecided;
    return position;
}

Game& CreateGame(GamesList& games, int32_t whitePlayer, int32_t blackPlayer, int32_t bottomColour,
                 RulesContext& context) {
    Game& game = games.emplace_back();
    game.Index = static_cast<int32_t>(games.size()) - 1;
    SetUpGame(game, whitePlayer, blackPlayer, bottomColour, context);
    return game;
}

void SetUpGame(Game& game, int32_t whitePlayer, int32_t blackPlayer, int32_t bottomColour,
               RulesContext& context) {
    static_cast<GameValue&>(game) = InitialPosition(bottomColour);
    game.History.clear();
    game.PlayerIndex[White] = whitePlayer;
    game.PlayerIndex[Black] = blackPlayer;

    if (context.TimeByPlayer > 0) {
        game.PlayerTimeLeft[White] = game.PlayerTimeLeft[Black] = context.TimeByPlayer * 60;
    }
    if (context.TimeByMove > 0) {
        game.MoveTimeLeft[White] = game.MoveTimeLeft[Black] = context.TimeByMove * 60;
    }
    BeginTurn(game, context);

    // No filter needed: in the initial position no move can expose the own king.
    GenerateMoves(game, game.SideToMove, game.Moves, context.Scratch);
}

}  // namespace tavlora
