// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_tick.h"

#include "net/referee.h"
#include "net/senders.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

bool LocalUserToMove(const ProgramState& state, const Game& game) {
    return game.PlayerIndex[game.SideToMove] == state.OwnPlayerIndex;
}

// When the tick must next look at game: at the next second of a running clock; at once when
// the local user is to move and out of time; and, on the server as the referee, when the
// allowance for a player who stays silent about his time-out is over.
void Schedule(ProgramState& state, Game& game) {
    if (!IsRunning(game)) {
        state.Clocks.Set(game, std::nullopt);
        return;
    }
    if (LocalUserToMove(state, game)) {
        if (OutOfTime(game, game.SideToMove, state)) {
            state.Clocks.Set(game, std::nullopt);
            state.Clocks.Soon(game);
        } else {
            state.Clocks.Set(game, NextSecondAt(game));
        }
        return;
    }
    const std::optional<uint32_t> second = NextSecondAt(game);
    state.Clocks.Set(game, state.IsServer() ? EarlierTick(second, OverdueAt(game, state)) : second);
}

// A game whose time has come: its clocks counted to now, then the time-out. The program of
// the player to move declares it, once it has read what has come; the others count for
// display and learn it from MsgTimeout, unless that program stays silent too long: then the
// server, as the referee, declares it.
void TickGame(ProgramState& state, Game& game, TickOfPass& now) {
    if (!IsRunning(game)) {
        return;  // ended since it was scheduled; GameChanged has seen to it
    }
    const int32_t side = game.SideToMove;
    const int32_t playerSeconds = game.PlayerTimeLeft[side];
    const int32_t moveSeconds = game.MoveTimeLeft[side];
    CountDownClocks(game, now);
    if (LocalUserToMove(state, game) && OutOfTime(game, side, state)) {
        // Messages wait that were sent before this pass, after a pause perhaps: the opponent
        // may have resigned or left meanwhile, which the server took before any time-out of
        // ours. Then the time-out waits for the next tick.
        if (!state.Network.HasPendingEvent()) {
            game.State = TimeOut;
            SendTimeout(state, game);
        }
    } else if (state.IsServer() && DeclareOverdueTimeOut(state, game, now)) {
        return;  // told GameChanged
    }
    const bool shownChanged = !IsRunning(game) || game.PlayerTimeLeft[side] != playerSeconds ||
                              game.MoveTimeLeft[side] != moveSeconds;
    if (shownChanged) {
        GameChanged(state, game);
    } else {
        Schedule(state, game);
    }
}

}  // namespace

void GameChanged(ProgramState& state, Game& game) {
    if (!IsRunning(game) && game.Result == Undecided) {
        game.Result = ResultOf(game);
        state.Changes.Ended(game);
    }
    Schedule(state, game);
    state.Changes.Note(game);
}

void RunGameTick(ProgramState& state) {
    // Games are only ever appended; the new ones' clocks have just begun.
    for (size_t i = state.Clocks.Known(); i < state.Games.size(); ++i) {
        Schedule(state, state.Games[i]);
    }
    state.Clocks.SetKnown(state.Games.size());

    TickOfPass now(state.TickCount);
    for (Game* game : state.Clocks.TakeSoon()) {
        TickGame(state, *game, now);
    }
    while (Game* game = state.Clocks.TakeDue(now)) {
        TickGame(state, *game, now);
    }
    for (Game* game : state.Changes.TakeEnded()) {
        if (state.GameEnded) {
            state.GameEnded(*game);
        }
    }
}

}  // namespace tavlora
