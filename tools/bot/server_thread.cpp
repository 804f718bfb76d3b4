// SPDX-License-Identifier: GPL-3.0-or-later
#include "bot/server_thread.h"

#include <cassert>
#include <chrono>

#include "net/game_tick.h"
#include "net/play_step.h"
#include "net/server.h"

namespace tavlora {

namespace {

constexpr auto IdlePause = std::chrono::microseconds(200);

}  // namespace

ServerThread::ServerThread(const std::string& name, int32_t maxPlayer, int32_t timeByPlayer,
                           int32_t timeByMove, SteppedClock* clock)
    : clock_(clock) {
    state_.TickCount = clock != nullptr ? clock->Source() : TickSource(TickCount);
    SetUpServer(state_, name, maxPlayer, timeByPlayer, timeByMove);
    state_.PlayPhase = LobbyPhase;
    state_.NetworkPort = 0;
    if (!OpenServer(state_)) {
        return;
    }
    port_ = state_.Network.ListeningPort();
    thread_ = std::thread([this] { Run(); });
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

const ProgramState& ServerThread::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return state_;
}

void ServerThread::Run() {
    while (!stop_) {
        if (const uint32_t ms = advance_) {
            clock_->now_ += ms;
            RunGameTick(state_);
            advance_ = 0;
        }
        RunPlayStep(state_, view_);
        for (int32_t i = 1; i < state_.PlayerCount; ++i) {
            left_[static_cast<size_t>(i)] = state_.Players[static_cast<size_t>(i)].Left;
        }
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
