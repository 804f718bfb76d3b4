// SPDX-License-Identifier: GPL-3.0-or-later
#include "lan/latency_recorder.h"

#include <algorithm>
#include <utility>

namespace tavlora {

LatencyRecorder::LatencyRecorder(int32_t participants)
    : participants_(participants),
      games_(participants * (participants - 1) / 2),
      sentAt_(static_cast<size_t>(games_)),
      seen_(static_cast<size_t>(participants) * static_cast<size_t>(games_)),
      linesOnTheWay_(static_cast<size_t>(participants)) {}

void LatencyRecorder::MoveSent(const Bot& sender, int32_t white, int32_t black) {
    const int32_t game = GameIndex(white, black);
    if (game < 0 || sender.Index() < 0 || sender.Index() >= participants_) {
        return;
    }
    sentAt_[static_cast<size_t>(game)].push_back({Clock::now(), phase_});
    // The sender gets no copy of its own move.
    ++seen_[static_cast<size_t>(sender.Index()) * static_cast<size_t>(games_) +
            static_cast<size_t>(game)];
    ++sent_;
}

void LatencyRecorder::MoveReceived(const Bot& receiver, int32_t white, int32_t black) {
    const Clock::time_point now = Clock::now();
    const int32_t game = GameIndex(white, black);
    if (game < 0 || receiver.Index() < 0 || receiver.Index() >= participants_) {
        return;
    }
    uint16_t& seen = seen_[static_cast<size_t>(receiver.Index()) * static_cast<size_t>(games_) +
                           static_cast<size_t>(game)];
    const std::vector<Sending>& sendings = sentAt_[static_cast<size_t>(game)];
    if (seen >= sendings.size()) {
        return;  // a move no bot sent: the server's own user, or the other program
    }
    const Sending& sending = sendings[seen++];
    if (sending.Phase != phase_) {
        return;
    }
    ++received_;
    moves_.Add(now - sending.At);
}

void LatencyRecorder::LineSent(const Bot& sender, bool answer) {
    if (sender.Index() < 0 || sender.Index() >= participants_) {
        return;
    }
    linesOnTheWay_[static_cast<size_t>(sender.Index())].push_back({Clock::now(), phase_, answer});
    ++linesSent_;
}

void LatencyRecorder::LineReturned(const Bot& sender) {
    const Clock::time_point now = Clock::now();
    if (sender.Index() < 0 || sender.Index() >= participants_) {
        return;
    }
    std::deque<Sending>& onTheWay = linesOnTheWay_[static_cast<size_t>(sender.Index())];
    if (onTheWay.empty()) {
        return;
    }
    const Sending sending = onTheWay.front();
    onTheWay.pop_front();
    if (sending.Phase != phase_) {
        return;
    }
    ++linesReturned_;
    (sending.Answer ? answers_ : firstLines_).Add(now - sending.At);
}

void LatencyRecorder::BeginPhase() {
    ++phase_;
    sent_ = 0;
    received_ = 0;
    moves_ = {};
    linesSent_ = 0;
    linesReturned_ = 0;
    firstLines_ = {};
    answers_ = {};
}

void LatencyRecorder::Samples::Add(Clock::duration latency) {
    Values.push_back(std::chrono::duration<float, std::milli>(latency).count());
    Sorted = false;
}

double LatencyRecorder::Samples::Percentile(double share) {
    if (Values.empty()) {
        return 0;
    }
    if (!Sorted) {
        std::ranges::sort(Values);
        Sorted = true;
    }
    const auto index = static_cast<size_t>(share * static_cast<double>(Values.size() - 1));
    return Values[index];
}

int32_t LatencyRecorder::GameIndex(int32_t white, int32_t black) const {
    const auto [i, j] = std::minmax(white, black);
    if (i < 0 || j >= participants_ || i == j) {
        return -1;
    }
    // Games come in the order i = 0 .. n - 2, j = i + 1 .. n - 1.
    return i * (2 * participants_ - i - 1) / 2 + (j - i - 1);
}

}  // namespace tavlora
