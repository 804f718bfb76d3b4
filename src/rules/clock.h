// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of time: the clocks of the side to move counted down in whole seconds from the
// tick count, running out of time, the result a finished game gets, and the referee's limits
// on the clocks a mover's program reports.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>

#include "rules/game.h"

namespace tavlora {

// The longest time limit, in minutes, whose seconds still fit the 32-bit clocks.
constexpr int32_t MaxTimeLimit = INT32_MAX / 60;

// How late a mover's message may come after the referee's count of its clocks reached zero:
// the time a message takes across a busy network and through a busy server. A move within it
// is still taken, with 0 left; a program that has not moved or declared its own time-out this
// long after has the game ended on time by the referee. It forgives lateness and never adds
// time: a claimed clock is never kept above the referee's count.
constexpr int32_t ClockAllowanceSeconds = 2;

// The tick count of one pass over the games, read when a clock first needs it and then kept:
// every clock is brought up to the same moment, and thousands of games cost one reading, not
// two each. Without a running clock it is never read.
class TickOfPass {
public:
    explicit TickOfPass(const TickSource& source) : source_(source) {}
    uint32_t operator()() {
        if (!read_) {
            now_ = source_();
            read_ = true;
        }
        return now_;
    }

private:
    const TickSource& source_;
    bool read_ = false;
    uint32_t now_ = 0;
};

// The earlier of two ticks, which lie less than 2^31 ms apart, or whichever there is.
inline std::optional<uint32_t> EarlierTick(std::optional<uint32_t> a, std::optional<uint32_t> b) {
    if (!a || !b) {
        return a ? a : b;
    }
    return static_cast<int32_t>(*a - *b) <= 0 ? a : b;
}

// Counts both clocks of the side to move of a running game down to now, in whole seconds.
// A clock already at 0 or below stays where it is, its stamp with it.
void CountDownClocks(GameValue& game, TickOfPass& now);

// The tick at which CountDownClocks next takes a second off a clock of the side to move: the
// first more than 1000 ms after a stamp. None when neither clock stands above 0.
std::optional<uint32_t> NextSecondAt(const GameValue& game);

// Whether side has used up a limit that is in force.
bool OutOfTime(const GameValue& game, int32_t side, const RulesContext& context);

// The winner of a finished game, or Draw; in every lost game SideToMove is the losing side.
int32_t ResultOf(const GameValue& game);

// Referee
// The two clocks of a mover as its program reports them.
struct ClockClaim {
    int32_t PlayerTimeLeft;
    int32_t MoveTimeLeft;
};

// Whether the side to move has used up a limit in force more than the allowance ago, by
// the counted clocks of game (brought up to date just before).
bool OutOfTimeBeyondAllowance(const GameValue& game, const RulesContext& context, TickOfPass& now);

// The first tick at which OutOfTimeBeyondAllowance holds for the clocks as they stand, or none
// while every clock in force stands above 0.
std::optional<uint32_t> OverdueAt(const GameValue& game, const RulesContext& context);

// The claim of the side to move, each clock kept within 0 .. its limit (0 when that limit is
// off) and never above game's own count of it.
ClockClaim LimitClaim(const GameValue& game, ClockClaim claim, const RulesContext& context);

}  // namespace tavlora
