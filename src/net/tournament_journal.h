// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal as it is written: every change of the running tournament appended to a
// file beside the settings the moment the server has applied it, before it is relayed, so a
// program that is killed loses nothing a client has seen; a thread of its own syncs the file
// twice a second, so a power cut loses at most a second. While clocks run, a record of the
// time follows at least once a second. Format in docs/JOURNAL.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "net/journal_format.h"
#include "net/program_state.h"
#include "platform/files.h"

namespace tavlora {

// How often the journal reaches the disk.
constexpr std::chrono::milliseconds JournalSyncInterval{500};
// The longest a journal of running clocks goes without a record.
constexpr uint32_t JournalClockMs = 1000;

class TournamentJournal final : public TournamentRecorder {
public:
    // The journal of the tournament at path (readable by its user alone), its records timed
    // by ticks. Nothing is written before the start or a resume.
    TournamentJournal(std::string path, TickSource ticks);

    // TournamentRecorder. Started creates the file; it fails when one is there already.
    void Started(const ProgramState& state) override;
    void Moved(const MsgMove& move) override;
    void TimedOut(const MsgTimeout& timeout) override;
    void DrawOffered(const MsgDrawOffer& offer) override;
    void DrawAgreed(const MsgDrawAccept& accept) override;
    void Resigned(const MsgResign& resign) override;
    void WentAway(int32_t participant) override;
    void CameBack(int32_t participant) override;
    void Left(int32_t participant) override;

    // The host's program was started again with the tournament that content (the file as it
    // was read) holds in its first wholeLength bytes, replayed into state up to its last
    // record at lastAt: what follows those bytes, a record cut short, is cut off, the clocks of
    // state go on from now as they stood then, and the resume is recorded. False when the
    // file cannot be written.
    bool Resume(std::string_view content, size_t wholeLength, ProgramState& state, uint32_t lastAt);

    // Where the host saves the games, and when play began; recorded after the start even when
    // told before it.
    void GamesFile(int64_t startTime, const std::string& gamesPath);

    // Once per main-loop pass: the record of the time, when it is due.
    void Keep();

    // The tournament is over: the file goes, and nothing more is written.
    void Remove();

    // A record could not be written. The journal then stands aside under another name, since
    // it lacks what clients have seen, and nothing more is written.
    bool Failed() const { return failed_; }
    // Whether records go to the file: from the start or a resume until the removal or a
    // failure.
    bool Keeping() const { return file_.IsOpen(); }
    const std::string& Path() const { return path_; }

private:
    void Open(bool clocksRun);
    void Write(JournalEvent event);
    void Write(JournalEvent event, uint32_t at);
    void Fail();

    std::string path_;
    TickSource ticks_;
    AppendFile file_;
    bool clocksRun_ = false;
    uint32_t lastAt_ = 0;
    bool failed_ = false;
    std::optional<JournalGamesFile> gamesFile_;  // told before the start was recorded
};

// Renames the file at path to the first free name of the form <stem>-<n><extension> beside
// it, which is returned; empty when it could not be renamed.
std::string SetAside(const std::string& path);

}  // namespace tavlora
