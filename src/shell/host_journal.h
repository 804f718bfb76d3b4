// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal as the program keeps it (docs/JOURNAL.md): from the start of the games
// the server records every change of the tournament in it, the program adds where it saves
// the games, records the time when due, and removes the file once every game has ended. A journal
// that cannot be written is said so in the lobby once and given up.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "net/net_view.h"
#include "net/tournament_journal.h"
#include "shell/host_resume.h"
#include "shell/settings_file.h"

namespace tavlora {

// "Turnier.journal" in the settings folder; empty when there is no such folder.
std::string JournalPath(const SettingsEnvironment& environment);

class HostJournal {
public:
    // The server state is set up: its start will begin the journal at path, and everything
    // after it is recorded there. No journal at all for an empty path.
    HostJournal(const std::string& path, ProgramState& state);
    ~HostJournal();
    HostJournal(const HostJournal&) = delete;
    HostJournal& operator=(const HostJournal&) = delete;

    // The tournament was taken up again from this journal: the records go on in the same file,
    // after the resume, with the clocks as they stood at its last record.
    void Resume(const ResumedTournament& resumed);

    // Play has begun: the games go to gamesPath, named by start.
    void GamesFile(std::time_t start, const std::string& gamesPath);

    // Once per main-loop pass: the time recorded when due; a failure said in view's chat
    // output; the file removed once the tournament is over.
    void Keep(NetView& view, bool tournamentOver);

    // Whether the file keeps a running tournament, which a resume takes up again: its games
    // are saved as they end after the resume, not as unfinished now.
    bool KeepsTournament() const { return journal_ && journal_->Keeping(); }

private:
    void GiveUp();

    ProgramState& state_;
    std::optional<TournamentJournal> journal_;
};

}  // namespace tavlora
