// SPDX-License-Identifier: GPL-3.0-or-later
// The final proof of a chaos run: each participant's copy of each game it holds, compared
// with the server's, which is the referee's.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/program_state.h"

namespace tavlora {

// Which clocks of a participant's copy must agree with the server's. A program that claims
// other clocks than it counts keeps its own count of its own clocks, which the server has cut
// on the way. One that reads late starts its turns late and learns late that a game has ended,
// so its count of any clock may differ by what passed meanwhile.
enum class ClockCheck { All, Opponents, None };

struct Agreement {
    int Compared = 0;   // copies of games compared
    int Crossings = 0;  // of them, copies holding a last move that crossed its game's end
    std::vector<std::string> Mismatches;  // what differs, one line each
};

// A game's key as one number: White's participant, then Black's.
uint64_t GameKey(int32_t white, int32_t black);

class RefereeGames {
public:
    // The server's games by their key; server must outlive this.
    explicit RefereeGames(const ProgramState& server);

    // Compares the games of copy, the program of participant own named name, with the
    // server's: board, History, State, Result and the loser of a lost game exactly, and the
    // clocks that clocks names within the allowance.
    // One difference is the protocol's own: a move on its way while its game ended (by a
    // departure, a resignation, an agreed draw or a time-out the referee declared) stays on
    // its mover's board, since nobody confirms a move to its mover. A copy that holds exactly
    // one such last move of its owner beyond the server's History of an ended game is a
    // crossing, not a mismatch, when all else that the end decides is the same; a crossing
    // move that mated keeps its mate there, with the same winner. Likewise a participant
    // whose own clock ran out while his resignation was on its way keeps his time-out.
    void Compare(const GamesList& copy, int32_t own, const std::string& name, ClockCheck clocks,
                 Agreement& agreement) const;

private:
    std::unordered_map<uint64_t, const Game*> games_;
};

}  // namespace tavlora
