// SPDX-License-Identifier: GPL-3.0-or-later
// One game as PGN text in the standard's export format: the seven-tag roster with
// Termination and TimeControl, then the moves in SAN, numbered, in lines of at most 79
// characters, and the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rules/game.h"

namespace tavlora {

// What the tags say beyond the game record. Texts go into the file byte for byte (the caller
// chooses their encoding); quotes and backslashes are escaped, control characters replaced.
struct PgnTags {
    std::string_view Event;
    std::string_view Date;  // "YYYY.MM.DD"
    std::string_view White;
    std::string_view Black;
    int32_t TimeByPlayer = 0;  // minutes, 0 = no limit
    bool Abandoned = false;    // lost because its loser left the tournament
};

// A tag's value as it stands between its quotes: quotes and backslashes escaped, control
// characters replaced, cut to the standard's 255 characters.
std::string PgnTagValue(std::string_view value);

// The players of every game of a PGN text that has a result, as their tags hold them
// (PgnTagValue of the names), in the order of the text.
struct PgnPlayers {
    std::string White;
    std::string Black;
    friend bool operator==(const PgnPlayers&, const PgnPlayers&) = default;
};
std::vector<PgnPlayers> FinishedPgnGames(std::string_view text);

// "1-0", "0-1", "1/2-1/2", or "*" while the game has no Result.
const char* ResultToken(int32_t result);

// The game's tags and moves, replayed from its initial position, followed by a blank line.
std::string PgnText(const Game& game, const PgnTags& tags, Lookahead& lookahead);

}  // namespace tavlora
