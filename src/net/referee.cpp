// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/referee.h"

#include "net/game_tick.h"
#include "net/senders.h"

namespace tavlora {

std::optional<ClockClaim> RefereeClocks(ProgramState& state, Game& game, ClockClaim claim) {
    TickOfPass now(state.TickCount);
    CountDownClocks(game, now);
    if (DeclareOverdueTimeOut(state, game, now)) {
        return std::nullopt;
    }
    return LimitClaim(game, claim, state);
}

bool DeclareOverdueTimeOut(ProgramState& state, Game& game, TickOfPass& now) {
    if (!OutOfTimeBeyondAllowance(game, state, now)) {
        return false;
    }
    // As the mover's own program would have done: the same State, and MsgTimeout in his name
    // with the clocks as counted here, for every client, the one who ran out included.
    game.State = TimeOut;
    SendTimeout(state, game);
    GameChanged(state, game);
    return true;
}

}  // namespace tavlora
