// SPDX-License-Identifier: GPL-3.0-or-later
// The standings of a round-robin, kept up to date one finished game at a time: per
// participant the points (win 1, draw 1/2), the games, wins, draws and losses, and the
// Sonneborn-Berger score; and their order, with shared places.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "rules/game.h"

namespace tavlora {

struct StandingsRow {
    int32_t Participant = 0;
    int32_t HalfPoints = 0;  // points x 2
    int32_t Games = 0;       // finished
    int32_t Wins = 0;
    int32_t Draws = 0;
    int32_t Losses = 0;
    // Sonneborn-Berger x 4: the points of every opponent beaten plus half the points of
    // every opponent drawn.
    int32_t QuarterSb = 0;
    int32_t Place = 0;  // from 1; rows equal in points, Sonneborn-Berger and wins share one
};

class Standings {
public:
    explicit Standings(int32_t participants);

    // Counts a game by its Result. A game whose Result is Undecided, or whose players are not
    // participants, counts nothing. Costs one pass over the two players' earlier games.
    void AddGame(const GameValue& game);

    // Every participant's row, ordered by points, then Sonneborn-Berger, then wins, then
    // name; rows equal in all but the name share the place of the first of them (names
    // differ within a tournament, so they only order a shared place).
    using NameOf = std::function<std::string_view(int32_t participant)>;
    const std::vector<StandingsRow>& Ranked(const NameOf& nameOf);

private:
    struct Finished {
        int32_t Opponent;
        int32_t Score;  // the participant's half points from it: 2, 1 or 0
    };
    // Adds score half points to participant; the Sonneborn-Berger score of everyone it has
    // played changes with them.
    void Credit(int32_t participant, int32_t score);

    std::vector<StandingsRow> rows_;               // by participant
    std::vector<std::vector<Finished>> finished_;  // by participant
    std::vector<StandingsRow> ranked_;
};

}  // namespace tavlora
