// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/routing.h"

namespace tavlora {

void SendToClients(ProgramState& state, const Frame& frame, int32_t except) {
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        if (i != except) {
            SendToParticipant(state, i, frame);
        }
    }
}

void SendToAnnounced(ProgramState& state, const Frame& frame, int32_t except) {
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        if (i != except && state.Players[static_cast<size_t>(i)].CanReturn) {
            SendToParticipant(state, i, frame);
        }
    }
}

void SendToParticipant(ProgramState& state, int32_t index, const Frame& frame) {
    if (index < 1 || index >= state.PlayerCount) {
        return;
    }
    const ConnectionId connection = state.Players[static_cast<size_t>(index)].PlayerConnection;
    if (connection != NoConnection) {
        state.Network.Send(connection, frame);
    }
}

int32_t ParticipantOn(const ProgramState& state, ConnectionId connection) {
    if (connection == NoConnection) {
        return NoParticipant;
    }
    for (int32_t i = 1; i < state.PlayerCount; ++i) {
        if (state.Players[static_cast<size_t>(i)].PlayerConnection == connection) {
            return i;
        }
    }
    return NoParticipant;
}

}  // namespace tavlora
