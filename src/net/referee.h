// SPDX-License-Identifier: GPL-3.0-or-later
// The server as the referee of every game's clocks: its own count of them is the authority.
// A mover's program may report less time than that count, never more; a move that comes a
// little after the count reached zero is still taken, and a program that does not declare
// its own time-out has it declared for it.
#pragma once

#include <optional>

#include "net/program_state.h"
#include "rules/clock.h"

namespace tavlora {

// On a move or a time-out from the side to move of game: its claimed clocks, limited to the
// server's count (brought up to now first). None when that side's time ran out longer than
// the allowance ago; the game has then been ended on time and every client told.
std::optional<ClockClaim> RefereeClocks(ProgramState& state, Game& game, ClockClaim claim);

// In the game tick on the server, for a running game whose clocks have just been counted:
// ends it on time, telling every client and GameChanged, when its side to move ran out of
// time longer than the allowance ago. True when it did.
bool DeclareOverdueTimeOut(ProgramState& state, Game& game, TickOfPass& now);

}  // namespace tavlora
