// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_tick.h"

#include "net/referee.h"
#include "net/senders.h"
#include "rules/clock.h"

namespace tavlora {

void RunGameTick(ProgramState& state) {
    TickOfPass now(state.TickCount);
    // Messages wait that were sent before this pass, after a pause perhaps: the opponent may
    // have resigned or left meanwhile, which the server took before any time-out of ours.
    const bool behind = state.Network.HasPendingEvent();
    for (Game& game : state.Games) {
        if (IsRunning(game)) {
            CountDownClocks(game, now);
            // The program of the player to move declares the time-out, once it has read what
            // has come; the others count for display and learn it from MsgTimeout, unless that
            // program stays silent too long: then the server, as the referee, declares it.
            const int32_t side = game.SideToMove;
            if (game.PlayerIndex[side] == state.OwnPlayerIndex && OutOfTime(game, side, state)) {
                if (!behind) {
                    game.State = TimeOut;
                    SendTimeout(state, game);
                }
            } else if (state.IsServer()) {
                DeclareOverdueTimeOut(state, game, now);
            }
        }
        if (!IsRunning(game) && game.Result == Undecided) {
            game.Result = ResultOf(game);
            if (state.GameEnded) {
                state.GameEnded(game);
            }
        }
    }
}

}  // namespace tavlora
