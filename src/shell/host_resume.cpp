// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/host_resume.h"

#include <ctime>
#include <span>

#include "net/server.h"
#include "net/tournament_journal.h"
#include "platform/files.h"
#include "shell/tournament_outcome.h"

namespace tavlora {

namespace {

// Far beyond the journal of the longest tournament: 8,001 games of 150 moves are 70 MB.
constexpr size_t MaxJournalFile = size_t{1} << 30;

constexpr const char* ErrorTitle = "Tavlora - Fehler";
constexpr const char* UnreadableText = "Das Turnierjournal kann nicht gelesen werden.";
constexpr const char* KeptAsText = "\nEs bleibt erhalten als ";
constexpr const char* ServerFailedText = "Server konnte nicht gestartet werden.";

std::span<const uint8_t> AsBytes(const std::string& content) {
    return {reinterpret_cast<const uint8_t*>(content.data()), content.size()};
}

// A journal nothing can be taken from: said, and set aside.
void ReportUnreadable(WindowServices& services, const std::string& path) {
    const std::string aside = SetAside(path);
    services.MessageBox(
        ErrorTitle, UnreadableText + (aside.empty() ? std::string() : KeptAsText + aside + '.'));
}

// A tournament not taken up leaves its file as a closed program would: the games still running
// unfinished, and one whose end the program did not live to save with its result.
void SaveGivenUpGames(WindowServices& services, ProgramState& replayed,
                      const JournalReplay& replay) {
    if (replay.GamesFile) {
        TournamentOutcome(services, replayed, {},
                          static_cast<std::time_t>(replay.GamesFile->StartTime),
                          replay.GamesFile->Path)
            .SaveUnfinishedGames();
    }
}

}  // namespace

std::optional<ResumedTournament> OfferToResume(WindowServices& services, const std::string& path,
                                               const std::function<bool()>& ask,
                                               ProgramState& state) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> content = ReadWholeFile(path, MaxJournalFile);
    if (!content) {
        ReportUnreadable(services, path);
        return std::nullopt;
    }
    if (content->empty()) {
        return std::nullopt;  // none there
    }
    const JournalContents contents = ReadJournal(AsBytes(*content));
    if (contents.End != JournalEnd::Damaged && contents.Records.empty()) {
        SetAside(path);  // the first write was cut short: no tournament had begun
        return std::nullopt;
    }
    ProgramState replayed;
    replayed.TickCount = state.TickCount;
    const std::optional<JournalReplay> replay = contents.End == JournalEnd::Damaged
                                                    ? std::nullopt
                                                    : ReplayJournal(contents.Records, replayed);
    if (!replay) {
        ReportUnreadable(services, path);
        return std::nullopt;
    }
    // A tournament that was over when its program ended: nothing to ask.
    if (!replay->AnyRunning || !ask()) {
        SaveGivenUpGames(services, replayed, *replay);
        SetAside(path);
        return std::nullopt;
    }
    replayed.NetworkPort = state.NetworkPort;
    if (!OpenServer(replayed)) {
        services.MessageBox(ErrorTitle, ServerFailedText);  // the journal waits for a later start
        return std::nullopt;
    }
    state = std::move(replayed);
    return ResumedTournament{std::move(*content), contents.WholeLength, *replay};
}

}  // namespace tavlora
