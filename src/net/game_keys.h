// SPDX-License-Identifier: GPL-3.0-or-later
// The games of network play filed by their key (White's and Black's participant index), so
// that a message finds its game at once even among thousands, and the draw offers the
// server holds pending in each game until the next move.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "rules/game.h"

namespace tavlora {

struct KeyedGame {
    Game* Record = nullptr;
    bool DrawOffered[2] = {false, false};  // per colour: that side's offer stands

    void WithdrawDrawOffers() { DrawOffered[0] = DrawOffered[1] = false; }
};

class GameKeys {
public:
    // Files game under its key. When the key is taken already, the first game keeps it.
    void Add(Game& game);
    // The game filed under (white, black), or nullptr.
    KeyedGame* Find(int32_t white, int32_t black);
    KeyedGame* Find(const Game& game) { return Find(game.PlayerIndex[0], game.PlayerIndex[1]); }

private:
    static uint64_t Key(int32_t white, int32_t black) {
        return uint64_t{static_cast<uint32_t>(white)} << 32 | static_cast<uint32_t>(black);
    }

    std::unordered_map<uint64_t, KeyedGame> games_;
};

}  // namespace tavlora
