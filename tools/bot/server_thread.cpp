// SPDX-License-Identifier: GPL-3.0-or-later
#include "bot/server_thread.h"

#include <cassert>
#include <chrono>

#include "net/game_tick.h"
#include "net/journal_replay.h"
#include "net/play_step.h"
#include "net/server.h"
#include "platform/files.h"

namespace tavlora {

namespace {

constexpr auto IdlePause = std::chrono::microseconds(200);

}  // namespace

ServerThread::ServerThread(const std::string& name, int32_t maxPlayer, int32_t timeByPlayer,
                           int32_t timeByMove, SteppedClock* clock, int32_t rejoinSeconds)
    : clock_(clock) {
    state_.TickCount = clock != nullptr ? clock->Source() : TickSource(TickCount);
    SetUpServer(state_, name, maxPlayer, timeByPlayer, timeByMove);
    state_.RejoinSeconds = rejoinSeconds;
    state_.PlayPhase = LobbyPhase;
    state_.NetworkPort = 0;
    if (!OpenServer(state_)) {
        return;
    }
    port_ = state_.Network.ListeningPort();
    Launch();
}

void ServerThread::KeepJournal(const std::string& path) {
    journal_.emplace(path, state_.TickCount);
    state_.Recorder = &*journal_;
}

bool ServerThread::Restart() {
    Stop();
    state_.Network.CloseAll();
    const std::string path = journal_ ? journal_->Path() : std::string();
    const std::optional<std::string> content = ReadWholeFile(path, size_t{1} << 30);
    if (!content) {
        return false;
    }
    const JournalContents contents =
        ReadJournal(std::span(reinterpret_cast<const uint8_t*>(content->data()), content->size()));
    ProgramState resumed;
    resumed.TickCount = state_.TickCount;
    const std::optional<JournalReplay> replay = ReplayJournal(contents.Records, resumed);
    if (contents.End == JournalEnd::Damaged || !replay) {
        return false;
    }
    journal_.emplace(path, state_.TickCount);
    resumed.NetworkPort = port_;
    if (!journal_->Resume(*content, contents.WholeLength, resumed, replay->LastAt) ||
        !OpenServer(resumed)) {
        return false;
    }
    state_ = std::move(resumed);
    state_.Recorder = &*journal_;
    ResumeServer(state_, view_);
    NoteParticipants();  // before anyone may ask who is away
    stop_ = false;
    Launch();
    return true;
}

void ServerThread::NoteParticipants() {
    for (int32_t i = 1; i < state_.PlayerCount; ++i) {
        NoteDeparture(i);
        away_[static_cast<size_t>(i)] = state_.Players[static_cast<size_t>(i)].Away;
    }
}

void ServerThread::Launch() {
    state_.GameEnded = [this](const Game& game) { RecordEnd(game); };
    thread_ = std::thread([this] { Run(); });
}

void ServerThread::RecordEnd(const Game& game) {
    if (!ended_.emplace(game.PlayerIndex[White], game.PlayerIndex[Black]).second) {
        return;
    }
    // A step takes many messages before its tick tells their ends, so a departure is
    // recorded before the first of the games it ended.
    if (game.State == Resigned) {
        NoteDeparture(game.PlayerIndex[game.SideToMove]);
    }
    ends_.push_back({.PlayerIndex = {game.PlayerIndex[White], game.PlayerIndex[Black]},
                     .State = game.State,
                     .SideToMove = game.SideToMove});
}

void ServerThread::Advance(uint32_t ms) {
    assert(clock_ != nullptr && ms > 0);
    advance_ = ms;
    while (advance_ != 0 && thread_.joinable()) {
        std::this_thread::sleep_for(IdlePause);
    }
}

bool ServerThread::HasLeft(int32_t index) const {
    return index >= 0 && index < MostParticipants && left_[static_cast<size_t>(index)];
}

bool ServerThread::IsAway(int32_t index) const {
    return index >= 0 && index < MostParticipants && away_[static_cast<size_t>(index)];
}

const ProgramState& ServerThread::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return state_;
}

void ServerThread::NoteDeparture(int32_t index) {
    const auto i = static_cast<size_t>(index);
    if (state_.Players[i].Left && !left_[i]) {
        ends_.push_back({.Leaver = index});
        left_[i] = true;
    }
}

void ServerThread::Run() {
    while (!stop_) {
        if (const uint32_t ms = advance_) {
            clock_->now_ += ms;
            RunGameTick(state_);
            advance_ = 0;
        }
        RunPlayStep(state_, view_);
        NoteParticipants();
        if (!started_ && view_.Enabled && state_.PlayerCount == startAt_) {
            StartGames(state_, view_);
            started_ = true;
        }
        if (!state_.Network.HasPendingEvent()) {
            std::this_thread::sleep_for(IdlePause);
        }
    }
}

}  // namespace tavlora
