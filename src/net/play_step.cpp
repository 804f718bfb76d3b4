// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/play_step.h"

#include <cassert>

#include "net/client.h"
#include "net/game_tick.h"
#include "net/reconnect.h"
#include "net/server.h"

namespace tavlora {

namespace {

// The events that wait: those buffered and those the sockets hold, also what arrived while
// the ones before were handled (an answer to a line being relayed, say).
void TakeNetworkEvents(ProgramState& state, NetView& view) {
    const auto until = std::chrono::steady_clock::now() + MostNetworkTimePerPass;
    for (int taken = 0; taken < MostNetworkEventsPerPass; ++taken) {
        if (state.IsServer()) {
            PollServer(state, view);
        } else {
            PollClient(state, view);
        }
        const bool waiting = state.Network.HasPendingEvent() || state.Network.HasUnread();
        if (!waiting || std::chrono::steady_clock::now() >= until) {
            return;
        }
    }
}

}  // namespace

void RunPlayStep(ProgramState& state, NetView& view) {
    assert(state.TwoPlayersAtOneBoard == state.IsSinglePlayer());
    if (state.IsServer() || state.IsClient()) {
        TakeNetworkEvents(state, view);
    }
    // Work that is due by the time rather than by a message goes here, after the messages.
    if (state.IsServer()) {
        RunServerUpkeep(state, view);
    } else if (state.IsClient()) {
        AdvanceReconnect(state, view);
    }
    RunGameTick(state);
}

}  // namespace tavlora
