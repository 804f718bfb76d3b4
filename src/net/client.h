// SPDX-License-Identifier: GPL-3.0-or-later
// The client: joins a server, checks its name against the welcome, mirrors the players
// table and every game, and replays on its copies what the server passes on.
#pragma once

#include <cstdint>
#include <string>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// The error box of a connection lost after the join.
inline constexpr const char* ConnectionLostText = "Verbindung zum Server unterbrochen.";

// The address as the settings keep it (the first number in the lowest byte), dotted.
std::string DottedServerAddress(int32_t address);

// Begins to connect to the address (first number in the lowest byte) on state.NetworkPort
// and returns at once; false when the connect fails at once. Sets ServerConnection, which
// PollClient then finishes: the connection stands (NetView::ShowConnected), or it fails,
// also when the server has not answered within state.ConnectLimitMs. The caller has set
// OwnPlayerIndex -1, PlayerCount 2 and the own name in entry 1 (SetUpJoiningClient).
bool StartConnectToServer(ProgramState& state, int32_t address);

// Handles at most one event of the connection to the server (while the game states of a return
// stream in, a batch of events, so thousands of games do not take thousands of passes). True
// when it has just sent
// MsgName: the join is complete. A failed connect, a refusal, a taken name, a welcome this
// program cannot take or a connection lost before the join closes the connection, sets
// ServerConnection to none and shows why; a connection lost later, however it ends, is
// reported once, and windows and games stay as they are, unless the client holds a ticket
// from the start: then the way back begins (net/reconnect.h), and only its end is reported.
// A message that does not fit the client's table is dropped.
bool PollClient(ProgramState& state, NetView& view);

}  // namespace tavlora
