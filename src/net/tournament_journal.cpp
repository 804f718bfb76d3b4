// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/tournament_journal.h"

#include "net/journal_replay.h"

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

namespace tavlora {

namespace {

// The secrets are in it.
constexpr mode_t JournalMode = 0600;

std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

TournamentJournal::TournamentJournal(std::string path, TickSource ticks)
    : path_(std::move(path)), ticks_(std::move(ticks)) {}

void TournamentJournal::Started(const ProgramState& state) {
    if (!file_.Open(path_, AppendFile::Mode::CreateNew, JournalMode)) {
        failed_ = true;  // nothing of ours is there to set aside
        return;
    }
    Open(state.TimeByPlayer > 0 || state.TimeByMove > 0);
    JournalStarted started{.MaxPlayer = state.MaxPlayer,
                           .TimeByPlayer = state.TimeByPlayer,
                           .TimeByMove = state.TimeByMove,
                           .RejoinSeconds = state.RejoinSeconds};
    for (int32_t i = 0; i < state.PlayerCount; ++i) {
        const Player& player = state.Players[static_cast<size_t>(i)];
        started.Players.push_back({player.PlayerName, player.CanReturn ? 1 : 0, player.Secret});
    }
    // The games list holds one game per pair in the order of the colour bytes.
    for (const Game& game : state.Games) {
        started.Colours.push_back(game.PlayerIndex[White] > game.PlayerIndex[Black] ? 1 : 0);
    }
    lastAt_ = ticks_();
    Bytes bytes = EncodeJournalHeader();
    const Bytes record = EncodeJournalRecord({lastAt_, std::move(started)});
    bytes.insert(bytes.end(), record.begin(), record.end());
    if (!file_.Append(AsText(bytes))) {
        Fail();
    }
    if (gamesFile_) {
        Write(*std::exchange(gamesFile_, std::nullopt));
    }
}

void TournamentJournal::Moved(const MsgMove& move) {
    Write(Message(move));
}

void TournamentJournal::TimedOut(const MsgTimeout& timeout) {
    Write(Message(timeout));
}

void TournamentJournal::DrawOffered(const MsgDrawOffer& offer) {
    Write(Message(offer));
}

void TournamentJournal::DrawAgreed(const MsgDrawAccept& accept) {
    Write(Message(accept));
}

void TournamentJournal::Resigned(const MsgResign& resign) {
    Write(Message(resign));
}

void TournamentJournal::WentAway(int32_t participant) {
    Write(JournalAway{participant});
}

void TournamentJournal::CameBack(int32_t participant) {
    Write(JournalBack{participant});
}

void TournamentJournal::Left(int32_t participant) {
    Write(JournalLeft{participant});
}

bool TournamentJournal::Resume(std::string_view content, size_t wholeLength, ProgramState& state,
                               uint32_t lastAt) {
    const uint32_t now = ticks_();
    ResumeClocks(state, lastAt, now);
    const bool torn = wholeLength < content.size();
    if ((torn && !ReplaceFile(path_, content.substr(0, wholeLength), JournalMode)) ||
        !file_.Open(path_, AppendFile::Mode::CreateOrAppend, JournalMode) ||
        file_.Size() != static_cast<long long>(wholeLength)) {
        Fail();
        return false;
    }
    Open(state.TimeByPlayer > 0 || state.TimeByMove > 0);
    Write(JournalResumed{}, now);
    return !failed_;
}

void TournamentJournal::GamesFile(int64_t startTime, const std::string& gamesPath) {
    if (!file_.IsOpen() && !failed_) {
        // Play began in the view before the start was recorded: it follows the start.
        gamesFile_ = JournalGamesFile{startTime, gamesPath};
        return;
    }
    Write(JournalGamesFile{startTime, gamesPath});
}

void TournamentJournal::Keep() {
    if (clocksRun_ && file_.IsOpen() && ticks_() - lastAt_ >= JournalClockMs) {
        Write(JournalClock{});
    }
}

void TournamentJournal::Remove() {
    if (file_.IsOpen()) {
        file_.Close();
        std::remove(path_.c_str());
    }
}

void TournamentJournal::Open(bool clocksRun) {
    clocksRun_ = clocksRun;
    // Without its own thread the file still reaches the disk, only later.
    file_.SyncEvery(JournalSyncInterval);
}

void TournamentJournal::Write(JournalEvent event) {
    Write(std::move(event), ticks_());
}

void TournamentJournal::Write(JournalEvent event, uint32_t at) {
    if (!file_.IsOpen()) {
        return;
    }
    lastAt_ = at;
    if (!file_.Append(AsText(EncodeJournalRecord({at, std::move(event)})))) {
        Fail();
    }
}

void TournamentJournal::Fail() {
    failed_ = true;
    file_.Close();
    SetAside(path_);
}

std::string SetAside(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const size_t split =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
    for (int n = 1; n <= 1000; ++n) {
        const std::string aside =
            path.substr(0, split) + '-' + std::to_string(n) + path.substr(split);
        if (RenameToFreeName(path, aside)) {
            return aside;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

}  // namespace tavlora
