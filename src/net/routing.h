// SPDX-License-Identifier: GPL-3.0-or-later
// Where the server's messages go: to every client, to every client but one, or to one
// participant; and which participant a connection belongs to. Entries without a connection
// (the server's own, or a participant who has left after the start) are skipped.
#pragma once

#include <cstdint>

#include "net/program_state.h"

namespace tavlora {

constexpr int32_t NoParticipant = -1;

// Queues frame for the participants 1 .. PlayerCount - 1, except the one given.
void SendToClients(ProgramState& state, const Frame& frame, int32_t except = NoParticipant);

// Queues frame for the participants whose programs announced the way back, except the one
// given: what only they understand.
void SendToAnnounced(ProgramState& state, const Frame& frame, int32_t except = NoParticipant);

// Queues frame for one participant; nothing for the server's own or an unknown index.
void SendToParticipant(ProgramState& state, int32_t index, const Frame& frame);

// The participant 1 .. PlayerCount - 1 whose connection it is, or NoParticipant.
int32_t ParticipantOn(const ProgramState& state, ConnectionId connection);

}  // namespace tavlora
