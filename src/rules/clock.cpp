#include "rules/clock.h"

namespace tavlora {

namespace {

constexpr int32_t MillisecondsPerSecond = 1000;

// A second counts only once more than 1000 ms have passed, and the stamp then advances by
// exactly 1000, so an uncounted fraction carries over to the next turn instead of being
// charged to the mover or lost.
void CountDown(int32_t& left, uint32_t& stamp, TickOfPass& now) {
    // Tested once: after a long pause the clock is caught up in one go, possibly below 0.
    if (left <= 0) {
        return;
    }
    while (static_cast<int32_t>(now() - stamp) > MillisecondsPerSecond) {
        stamp += MillisecondsPerSecond;
        --left;
    }
}

}  // namespace

void CountDownClocks(GameValue& game, TickOfPass& now) {
    const int32_t side = game.SideToMove;
    CountDown(game.MoveTimeLeft[side], game.MoveClockStamp[side], now);
    CountDown(game.PlayerTimeLeft[side], game.PlayerClockStamp[side], now);
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

}  // namespace tavlora
