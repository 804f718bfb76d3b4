// SPDX-License-Identifier: GPL-3.0-or-later
// Perft: counts the leaf nodes of the move tree below a position, playing every move with
// the program's own ExecuteMove. A promotion counts as the four pieces the pawn may become.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rules/game.h"

namespace tavlora {

// The number of move sequences of depth plies from game, which must be a running game whose
// Moves are its legal moves (as after CreateGame, ExecuteMove or GameFromFen).
uint64_t Perft(const Game& game, int32_t depth, RulesContext& context);

// One root move (a promotion already chosen) and the leaf count below it.
struct DivideEntry {
    Move RootMove;
    uint64_t Nodes;
};

// Perft split by root move, in the order of game.Moves; depth is at least 1.
std::vector<DivideEntry> Divide(const Game& game, int32_t depth, RulesContext& context);

// Coordinate notation as perft listings use it: "e2e4", "e1g1", "e7e8q".
std::string CoordinateText(const Move& move);

}  // namespace tavlora
