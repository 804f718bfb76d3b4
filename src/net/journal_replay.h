// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal read back: the server's state rebuilt from its records by the very
// functions that changed it the first time (players, games with their moves and clocks,
// pending draw offers, ends, who is away and who has left), and the clocks of a resumed
// tournament set to stand as they stood at the last record.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "net/journal_format.h"
#include "net/program_state.h"

namespace tavlora {

// What a replay finds besides the server's state.
struct JournalReplay {
    uint32_t LastAt = 0;  // the time of the last record; the running clocks stood as then
    std::optional<JournalGamesFile> GamesFile;
    // Whether a game still runs: a journal without one holds a tournament that is over.
    bool AnyRunning = false;
};

// Rebuilds, in state as the program starts (nothing set up), the server of the tournament the
// records tell, with no connection and every game's clocks stamped in the journal's time.
// The games that ended wait to be told to GameEnded by the first game tick, so they are
// counted and saved as ever. None, with state unusable, when the records tell nothing a server
// could have done: no start, or an event that does not fit the games as they stand.
std::optional<JournalReplay> ReplayJournal(std::span<const JournalRecord> records,
                                           ProgramState& state);

// The clocks of every running game as they stood at lastAt, and the time from then to now
// charged to nobody: the uncounted part of a second carries over as it would have.
void ResumeClocks(ProgramState& state, uint32_t lastAt, uint32_t now);

}  // namespace tavlora
