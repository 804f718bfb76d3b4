// SPDX-License-Identifier: GPL-3.0-or-later
// A client's way back after its connection to the server ended: it announces at the join that
// it can come back, keeps the ticket the server gives it at the start, and when the connection
// ends after the start, connects anew about once a second until the grace time is over, proves
// with the ticket's secret who it is, and takes in the tournament as the server holds it.
#pragma once

#include <cstdint>

#include "net/net_view.h"
#include "net/program_state.h"

namespace tavlora {

// Between two attempts to connect; also how long one attempt may wait for the server.
constexpr uint32_t ReconnectIntervalMilliseconds = 1000;
// How long a return sent may wait for the server's answer before it is tried anew.
constexpr uint32_t ReturnAnswerMilliseconds = 5000;

// MsgCanReturn: the program can come back. Sent right after the join (PollClient has just sent
// MsgName); a program that leaves it out is one without the way back.
void AnnounceReturn(ProgramState& state);

// The server's ticket, after the start: the own entry holds the secret, RejoinSeconds the grace.
void TakeReturnTicket(ProgramState& state, const MsgReturnTicket& ticket);

// Whether the client holds a ticket that can bring it back.
bool HoldsTicket(const ProgramState& state);

// The connection ended after the start: true when the way back begins (a ticket is held; the
// first attempt comes at once), false when it does not exist.
bool BeginReconnect(ProgramState& state, NetView& view);

// Once per main-loop pass, after the network events, while the way back runs: the next attempt
// when it is due, a return that found no answer tried anew, and once the grace time is over,
// the end: the ticket is dropped and "Verbindung zum Server unterbrochen." shown.
void AdvanceReconnect(ProgramState& state, NetView& view);

// The events of the connection being tried: it stands (MsgReturn goes out), it ended (the next
// attempt comes when due), or a message came. Only MsgWelcomeBack and MsgReturnRefused mean
// anything before the return is taken; the refusal as one to a running tournament is ignored.
void ReturnConnected(ProgramState& state);
void ReturnAttemptEnded(ProgramState& state);
void TakeReturnAnswer(ProgramState& state, NetView& view, const Message& message);

// The tournament as the server holds it, on a copy that holds its games (their keys and colours
// must be the server's) or none yet, after a restart (the games are created and started). The
// table's names and who is away or has left; then the client is back. False, with the way back
// given up, for a welcome that does not fit.
bool TakeWelcomeBack(ProgramState& state, NetView& view, const MsgWelcomeBack& welcome);

}  // namespace tavlora
