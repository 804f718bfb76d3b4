// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/clock.h"

#include <algorithm>

namespace tavlora {

namespace {

constexpr int32_t MillisecondsPerSecond = 1000;
constexpr int64_t AllowanceMilliseconds = int64_t{ClockAllowanceSeconds} * MillisecondsPerSecond;

// A second counts only once more than 1000 ms have passed, and the stamp then advances by
// exactly 1000 per second, so an uncounted fraction carries over to the next turn instead of
// being charged to the mover or lost. The value follows from the stamp alone: counting at
// every tick or once after many gives the same.
void CountDown(int32_t& left, uint32_t& stamp, TickOfPass& now) {
    // Tested once: after a long pause the clock is caught up in one go, possibly below 0.
    if (left <= 0) {
        return;
    }
    const int32_t elapsed = static_cast<int32_t>(now() - stamp);
    if (elapsed <= MillisecondsPerSecond) {
        return;
    }
    const int32_t seconds = (elapsed - 1) / MillisecondsPerSecond;
    stamp += static_cast<uint32_t>(seconds) * MillisecondsPerSecond;
    left -= seconds;
}

// How far after its stamp a clock in force that stands at left (0 or below) has been out of
// time for longer than the allowance. A clock caught up after a long pause may stand below
// 0: each second below counts as well.
int64_t OverdueAfterStamp(int32_t left) {
    return int64_t{left} * MillisecondsPerSecond + AllowanceMilliseconds + 1;
}

bool OverdueBeyondAllowance(int32_t limit, int32_t left, uint32_t stamp, TickOfPass& now) {
    if (limit <= 0 || left > 0) {
        return false;
    }
    const int64_t sinceStamp = static_cast<int32_t>(now() - stamp);
    return sinceStamp >= OverdueAfterStamp(left);
}

std::optional<uint32_t> NextSecondOf(int32_t left, uint32_t stamp) {
    if (left <= 0) {
        return std::nullopt;
    }
    return stamp + MillisecondsPerSecond + 1;
}

std::optional<uint32_t> OverdueOf(int32_t limit, int32_t left, uint32_t stamp) {
    if (limit <= 0 || left > 0) {
        return std::nullopt;
    }
    // Overdue at the stamp already after a long pause: then the stamp is the tick.
    return stamp + static_cast<uint32_t>(std::max<int64_t>(OverdueAfterStamp(left), 0));
}

// Never above the count: what is stored here is where the next turn starts, so anything
// granted above it would be granted again with every move.
int32_t LimitClock(int32_t claimed, int32_t limitMinutes, int32_t counted) {
    if (limitMinutes <= 0) {
        return 0;
    }
    const int64_t most = std::min<int64_t>(int64_t{limitMinutes} * 60, std::max(counted, 0));
    return static_cast<int32_t>(std::clamp<int64_t>(claimed, 0, most));
}

}  // namespace

void CountDownClocks(GameValue& game, TickOfPass& now) {
    const int32_t side = game.SideToMove;
    CountDown(game.MoveTimeLeft[side], game.MoveClockStamp[side], now);
    CountDown(game.PlayerTimeLeft[side], game.PlayerClockStamp[side], now);
}

std::optional<uint32_t> NextSecondAt(const GameValue& game) {
    const int32_t side = game.SideToMove;
    return EarlierTick(NextSecondOf(game.MoveTimeLeft[side], game.MoveClockStamp[side]),
                       NextSecondOf(game.PlayerTimeLeft[side], game.PlayerClockStamp[side]));
}

bool OutOfTime(const GameValue& game, int32_t side, const RulesContext& context) {
    return (context.TimeByPlayer > 0 && game.PlayerTimeLeft[side] <= 0) ||
           (context.TimeByMove > 0 && game.MoveTimeLeft[side] <= 0);
}

int32_t ResultOf(const GameValue& game) {
    if (game.State == Stalemate || game.State == DrawAgreed) {
        return Draw;
    }
    return 1 - game.SideToMove;
}

bool OutOfTimeBeyondAllowance(const GameValue& game, const RulesContext& context, TickOfPass& now) {
    const int32_t side = game.SideToMove;
    return OverdueBeyondAllowance(context.TimeByPlayer, game.PlayerTimeLeft[side],
                                  game.PlayerClockStamp[side], now) ||
           OverdueBeyondAllowance(context.TimeByMove, game.MoveTimeLeft[side],
                                  game.MoveClockStamp[side], now);
}

std::optional<uint32_t> OverdueAt(const GameValue& game, const RulesContext& context) {
    const int32_t side = game.SideToMove;
    return EarlierTick(
        OverdueOf(context.TimeByPlayer, game.PlayerTimeLeft[side], game.PlayerClockStamp[side]),
        OverdueOf(context.TimeByMove, game.MoveTimeLeft[side], game.MoveClockStamp[side]));
}

ClockClaim LimitClaim(const GameValue& game, ClockClaim claim, const RulesContext& context) {
    const int32_t side = game.SideToMove;
    return {LimitClock(claim.PlayerTimeLeft, context.TimeByPlayer, game.PlayerTimeLeft[side]),
            LimitClock(claim.MoveTimeLeft, context.TimeByMove, game.MoveTimeLeft[side])};
}

}  // namespace tavlora
