// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/next_game.h"

#include <algorithm>

namespace tavlora {

Game* NextGameToMove(std::span<Game* const> order, int32_t participant, const Game* after) {
    const auto shown = std::find(order.begin(), order.end(), after);
    const size_t start = shown == order.end() ? 0 : static_cast<size_t>(shown - order.begin()) + 1;
    for (size_t i = 0; i < order.size(); ++i) {
        Game* game = order[(start + i) % order.size()];
        if (WaitsFor(*game, participant)) {
            return game;
        }
    }
    return nullptr;
}

int CountGamesToMove(std::span<Game* const> games, int32_t participant) {
    return static_cast<int>(std::ranges::count_if(
        games, [participant](const Game* game) { return WaitsFor(*game, participant); }));
}

}  // namespace tavlora
