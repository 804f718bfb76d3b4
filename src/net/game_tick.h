// SPDX-License-Identifier: GPL-3.0-or-later
// The game tick, once per main-loop pass over every game: the clocks of the side to move
// counted down, the time-out declared by the program whose user ran out of time (or, on the
// server, for a program that stays silent about it), and every finished game given its
// result, once.
#pragma once

#include "net/program_state.h"

namespace tavlora {

// Counts the running clocks down to the current tick count, ends a game on time when the
// local user is to move in it and his time is up (sending MsgTimeout in the network modes)
// unless messages still wait to be handled, and gives every finished game its Result once,
// telling state.GameEnded.
void RunGameTick(ProgramState& state);

}  // namespace tavlora
