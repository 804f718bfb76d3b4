// The client: joins a server, checks its name against the welcome, mirrors the players
// table and every game, and replays on its copies what the server passes on.
#pragma once

#include <cstdint>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// Connects to the address (first number in the lowest byte) on state.NetworkPort, waiting a
// bounded time. On success sets ServerConnection. The caller has set OwnPlayerIndex -1,
// PlayerCount 2, MaxPlayer 1 and the own name in entry 1.
bool ConnectToServer(ProgramState& state, int32_t address);

// Handles at most one message from the server. True when it has just sent MsgName: the join
// is complete. A refusal, a taken name, a welcome this program cannot take or a connection
// lost before the join closes the connection, sets ServerConnection to none and shows why; a
// connection lost later, however it ends, is reported once, and windows and games stay as
// they are. A message that does not fit the client's table is dropped.
bool PollClient(ProgramState& state, NetView& view);

}  // namespace tavlora
