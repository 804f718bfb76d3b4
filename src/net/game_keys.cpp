// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_keys.h"

namespace tavlora {

void GameKeys::Add(Game& game) {
    games_.try_emplace(Key(game.PlayerIndex[0], game.PlayerIndex[1]), KeyedGame{&game});
}

KeyedGame* GameKeys::Find(int32_t white, int32_t black) {
    const auto it = games_.find(Key(white, black));
    return it == games_.end() ? nullptr : &it->second;
}

}  // namespace tavlora
