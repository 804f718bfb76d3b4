// SPDX-License-Identifier: GPL-3.0-or-later
// The game tick, once per main-loop pass, and the one way a change to a game reaches it. The
// tick looks only at the games whose time has come by the clock schedule: their clocks are
// counted down, and a time-out is declared by the program whose user ran out of time (or, on
// the server, for a program that stays silent about it). Every game that has ended since the
// last tick is then told to GameEnded.
#pragma once

#include "net/program_state.h"

namespace tavlora {

// After anything has changed game (a move, an end, clocks set from a message): a game that has
// just ended gets its Result, from the first end it came to, and waits for the next tick to be
// told to GameEnded; the game is scheduled anew for the tick; and the windows note it.
void GameChanged(ProgramState& state, Game& game);

// Schedules the games created since the last tick, counts the running clocks of the games whose
// time has come down to the current tick count, ends a game on time when the local user is to
// move in it and his time is up (sending MsgTimeout in the network modes) unless messages still
// wait to be handled, and tells state.GameEnded about every game that has ended since.
void RunGameTick(ProgramState& state);

}  // namespace tavlora
