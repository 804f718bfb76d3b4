// SPDX-License-Identifier: GPL-3.0-or-later
// The part of every main-loop pass that needs no window, and comes first in it, so that no
// window work stands between an arriving message and its relay: the network events that
// wait, the server's own timed work, and the game tick. The program's main loop runs it, and
// so does every harness that runs programs without windows (the tests' tournaments, the bots'
// server, the chaos run), each exactly as the program does.
#pragma once

#include <chrono>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// How much network work one pass takes at most before the windows get their turn: a flood of
// messages is worked off over several passes, and the windows are served in between.
constexpr int MostNetworkEventsPerPass = 64;
constexpr std::chrono::milliseconds MostNetworkTimePerPass{5};

// One pass's play: in the network modes every network event that waits, up to the limits
// above; on the server its upkeep; then the game tick.
void RunPlayStep(ProgramState& state, NetView& view);

}  // namespace tavlora
