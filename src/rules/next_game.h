// SPDX-License-Identifier: GPL-3.0-or-later
// The next game of a participant who plays many at once: among the games in the order the
// user sees them, those that wait for his move.
#pragma once

#include <cstdint>
#include <span>

#include "rules/game.h"

namespace tavlora {

// Whether game runs and waits for participant's move.
inline bool WaitsFor(const GameValue& game, int32_t participant) {
    return IsRunning(game) && game.PlayerIndex[game.SideToMove] == participant;
}

// The first game of order that waits for participant, looking from the game after `after`
// round to `after` itself; from the start when after is nullptr or not in order. nullptr
// when no game waits.
Game* NextGameToMove(std::span<Game* const> order, int32_t participant, const Game* after);

// How many games of games wait for participant.
int CountGamesToMove(std::span<Game* const> games, int32_t participant);

}  // namespace tavlora
