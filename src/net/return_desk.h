// SPDX-License-Identifier: GPL-3.0-or-later
// The server's side of the way back after a dropped connection: a ticket (grace time and secret)
// for every participant whose program announced that it can come back; such a participant away,
// not gone, when his connection ends; the end of his grace time; and the connections made after
// the start, refused as before, that may still bring his return within a few seconds.
#pragma once

#include <cstdint>
#include <vector>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// The longest grace time a host may grant.
constexpr int32_t MaxRejoinSeconds = 600;
// How long a connection made after the start may take to bring a return.
constexpr uint32_t ReturnWaitMilliseconds = 5000;
// Connections made after the start that wait for a return at once; any more are closed at once.
constexpr size_t MostReturnCandidates = 32;
// Returns checked and refused in any second, all connections together. Beyond, a return is not
// checked at all: its connection is closed, and an honest program tries again a second later.
constexpr int32_t MostFailedReturnsPerSecond = 5;
// A returned program's queue is filled up to this many bytes of game states per pass, so the
// states of thousands of long games never pile up in the server.
constexpr size_t CatchUpQueueBytes = size_t{1} << 20;
// The game states are handed to the connection in pieces of about this size, not one write
// per game: a return brings thousands of small messages.
constexpr size_t CatchUpPieceBytes = size_t{64} << 10;

// Lines of every program's chat output.
std::string WentAwayLine(const std::string& name);
std::string CameBackLine(const std::string& name);

// The participant's MsgCanReturn, in the lobby.
void TakeReturnAnnouncement(ProgramState& state, int32_t participant, const MsgCanReturn& message);

// At the start, once the games are created: a ticket with a fresh secret for every participant
// whose program announced that it can come back, while the host grants a grace time. Nobody else
// keeps CanReturn. The tickets go out by SendReturnTickets, after MsgStartGames.
void IssueReturnTickets(ProgramState& state);
void SendReturnTickets(ProgramState& state);

// A participant's connection ended after the start. True when he is away now, for his grace
// time, and everyone has been told; false when he has no ticket and leaves as before.
bool GoAway(ProgramState& state, NetView& view, int32_t participant);

// The host's program has taken its tournament up again from its journal, with no connection:
// every participant with a ticket who has not left is away for a fresh grace time. False for one
// who has no ticket: he leaves as before.
bool AwaitAfterResume(ProgramState& state, NetView& view, int32_t participant);

// A participant leaves for good (gone, cut off, or his grace time over): no longer away.
void EndAbsence(ProgramState& state, int32_t participant);

// Once per pass: the participants whose grace time is over, to leave; and connections that
// brought no return in time are closed. Costs nothing while nobody is away and nobody waits.
std::vector<int32_t> OverdueAbsences(ProgramState& state);

// A connection made after the start, already refused as one to a running tournament: kept open
// for a return when there is room, else closed.
void AwaitReturn(ProgramState& state, ConnectionId connection);

// Whether connection waits to bring a return.
bool IsReturnCandidate(const ProgramState& state, ConnectionId connection);

// What a waiting connection brought: a valid MsgReturn makes it the participant's connection
// (the old one closed without a word), marks him back and sends him the tournament; anything
// else closes it, a wrong or late return after MsgReturnRefused.
void TakeReturn(ProgramState& state, NetView& view, ConnectionId connection,
                const Message& message);

// A waiting connection has ended.
void ForgetReturnCandidate(ProgramState& state, ConnectionId connection);

// Once per pass: more game states for the programs that have just come back.
void ContinueCatchUps(ProgramState& state);

}  // namespace tavlora
