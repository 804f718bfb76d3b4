// SPDX-License-Identifier: GPL-3.0-or-later
// The host's program started again while its journal holds a tournament (docs/JOURNAL.md):
// the tournament is offered in the box "Tavlora - Turnier fortsetzen" and taken up again, or
// given up, its games saved and the journal set aside under another name. A journal that
// cannot be read is reported and set aside too; none is ever deleted here.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "net/journal_replay.h"
#include "platform/window_services.h"

namespace tavlora {

// A tournament taken up again: the journal as it was read, and what its replay found.
struct ResumedTournament {
    std::string Content;
    size_t WholeLength = 0;  // of its whole records; what follows was cut short
    JournalReplay Replay;
};

// Looks at the journal at path at the program's start, before the settings window, and asks
// whether to take a running tournament up (true for "Ja"). When the user does, state becomes
// its server, listening on its port, with no connection, and the journal comes back for the
// program to go on with; otherwise state is as it was, and the games that the tournament's file
// lacks are saved there, those that were still running as unfinished.
std::optional<ResumedTournament> OfferToResume(WindowServices& services, const std::string& path,
                                               const std::function<bool()>& ask,
                                               ProgramState& state);

}  // namespace tavlora
