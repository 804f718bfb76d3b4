// SPDX-License-Identifier: GPL-3.0-or-later
// What changes a running tournament, as the server decides it, told to whoever keeps a record
// of it (the host's journal). The server calls these after it has applied a change and before
// it relays it, so a record never lags behind what a client has seen.
#pragma once

#include <cstdint>

namespace tavlora {

class TournamentRecorder {
public:
    virtual ~TournamentRecorder() = default;

    // Participants
    // The participant's connection ended; it may still come back.
    virtual void WentAway(int32_t participant) = 0;
    // The participant came back over a new connection.
    virtual void CameBack(int32_t participant) = 0;
    // The participant has left for good; its running games are lost.
    virtual void Left(int32_t participant) = 0;
};

}  // namespace tavlora
