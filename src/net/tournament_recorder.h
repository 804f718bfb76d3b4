// SPDX-License-Identifier: GPL-3.0-or-later
// What changes a running tournament, as the server decides it, told to whoever keeps a record
// of it (the host's journal). The server calls these after it has applied a change and before
// it relays it, so a record never lags behind what a client has seen.
#pragma once

#include <cstdint>

#include "net/protocol.h"

namespace tavlora {

struct ProgramState;

class TournamentRecorder {
public:
    virtual ~TournamentRecorder() = default;

    // The games have just been created: the participants with their names and what proves a
    // return, the limits, and every game with its colours.
    virtual void Started(const ProgramState& state) = 0;

    // Games, each as the server relays it: the sender is the participant it counts for, the
    // clocks are those the server stored.
    virtual void Moved(const MsgMove& move) = 0;
    virtual void TimedOut(const MsgTimeout& timeout) = 0;
    virtual void DrawOffered(const MsgDrawOffer& offer) = 0;
    virtual void DrawAgreed(const MsgDrawAccept& accept) = 0;
    virtual void Resigned(const MsgResign& resign) = 0;

    // Participants
    // The participant's connection ended; it may still come back.
    virtual void WentAway(int32_t participant) = 0;
    // The participant came back over a new connection.
    virtual void CameBack(int32_t participant) = 0;
    // The participant has left for good; its running games are lost.
    virtual void Left(int32_t participant) = 0;
};

}  // namespace tavlora
