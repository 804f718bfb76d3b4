// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/host_journal.h"

namespace tavlora {

namespace {

constexpr const char* JournalFileName = "Turnier.journal";
constexpr const char* JournalFailedLine =
    "Das Turnierjournal kann nicht geschrieben werden. Stürzt dieser Server ab, lässt sich "
    "das Turnier nicht fortsetzen.";

}  // namespace

std::string JournalPath(const SettingsEnvironment& environment) {
    const std::string folder = SettingsFolderPath(environment);
    return folder.empty() ? folder : folder + '/' + JournalFileName;
}

HostJournal::HostJournal(const std::string& path, ProgramState& state) : state_(state) {
    if (!path.empty()) {
        journal_.emplace(path, state.TickCount);
        state.Recorder = &*journal_;
    }
}

HostJournal::~HostJournal() {
    GiveUp();
}

void HostJournal::Resume(const ResumedTournament& resumed) {
    if (journal_) {
        journal_->Resume(resumed.Content, resumed.WholeLength, state_, resumed.Replay.LastAt);
    }
}

void HostJournal::GamesFile(std::time_t start, const std::string& gamesPath) {
    if (journal_) {
        journal_->GamesFile(start, gamesPath);
    }
}

void HostJournal::Keep(NetView& view, bool tournamentOver) {
    if (!journal_) {
        return;
    }
    if (journal_->Failed()) {
        view.AppendChatLine(JournalFailedLine);
        GiveUp();
    } else if (tournamentOver) {
        journal_->Remove();  // the file of saved games keeps them
        GiveUp();
    } else {
        journal_->Keep();
    }
}

void HostJournal::GiveUp() {
    if (journal_) {
        state_.Recorder = nullptr;
        journal_.reset();
    }
}

}  // namespace tavlora
