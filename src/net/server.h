// SPDX-License-Identifier: GPL-3.0-or-later
// The server: hosts the lobby, registers and refuses connections, keeps the players table,
// starts all games at once, and relays (and referees) what the participants send.
#pragma once

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// Opens the listening socket on state.NetworkPort; false when it cannot be opened. The caller
// has set OwnPlayerIndex 0, PlayerCount 1, entry 0, MaxPlayer and the limits, and sized
// Players to MaxPlayer + 1.
bool OpenServer(ProgramState& state);

// Takes at most one network event and handles it. A message counts as said by the
// participant on its connection, whatever index its body names, and a game message only
// when that participant may say it in that game; a message whose indexes lie outside the
// table, or whose text is longer than any program sends, cuts the connection off, as if the
// participant had left.
void PollServer(ProgramState& state, NetView& view);

// Once per main-loop pass, after the network events: what falls due by the time, not by a
// message. A place held by a connection that has not named itself 10 s after its welcome is
// freed; a participant whose grace time is over leaves, and a connection that brought no
// return in time is closed; the programs that have just come back get their next game states.
void RunServerUpkeep(ProgramState& state, NetView& view);

// The server's user has pressed "Spiel starten": a colour drawn at random for every pair of
// participants, play begins here (BeginGames) and MsgStartGames tells every client. Once.
void StartGames(ProgramState& state, NetView& view);

// The tournament has been taken up again from the host's journal, its server listening with no
// connection: every participant who can come back is away for a fresh grace time, and whoever
// cannot leaves as if his connection had just ended.
void ResumeServer(ProgramState& state, NetView& view);

}  // namespace tavlora
