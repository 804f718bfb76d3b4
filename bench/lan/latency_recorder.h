// SPDX-License-Identifier: GPL-3.0-or-later
// The relay latency of moves: from the moment a bot sends a move to the moment each of the
// other bots receives it. Every bot sees the moves of a game in the order they were sent,
// so the n-th move of a game that reaches a bot is the n-th one sent in that game. And the
// round trip of chat lines, from a bot through the server back to the bot, which sees its
// own lines come back in the order it said them.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "bot/swarm.h"

namespace tavlora {

class LatencyRecorder final : public SwarmObserver {
public:
    using Clock = std::chrono::steady_clock;

    explicit LatencyRecorder(int32_t participants);

    void MoveSent(const Bot& sender, int32_t white, int32_t black) override;
    void MoveReceived(const Bot& receiver, int32_t white, int32_t black) override;
    void LineSent(const Bot& sender, bool answer) override;
    void LineReturned(const Bot& sender) override;

    // Counts and samples afresh; moves sent before count no more.
    void BeginPhase();
    uint64_t Sent() const { return sent_; }
    // Receipts of the moves sent in this phase.
    uint64_t Received() const { return received_; }
    // The latency below which the given share (0 to 1) of this phase's receipts lie, in
    // milliseconds; 0 without receipts.
    double Percentile(double share) { return moves_.Percentile(share); }

    // Lines said in this phase, and those of them back with their sender.
    uint64_t LinesSent() const { return linesSent_; }
    uint64_t LinesReturned() const { return linesReturned_; }
    // As Percentile, for the round trips of this phase's lines: the first lines, or the
    // answers said at once when a first line came back.
    double LinePercentile(double share, bool answers) {
        return (answers ? answers_ : firstLines_).Percentile(share);
    }

private:
    struct Sending {
        Clock::time_point At;
        uint32_t Phase;
        bool Answer = false;  // lines only
    };
    struct Samples {
        std::vector<float> Values;  // milliseconds
        bool Sorted = false;

        void Add(Clock::duration latency);
        double Percentile(double share);
    };

    // The game of the pair, by its place in the start message; -1 for no pair.
    int32_t GameIndex(int32_t white, int32_t black) const;

    const int32_t participants_;
    const int32_t games_;
    std::vector<std::vector<Sending>> sentAt_;  // by game, by move
    std::vector<uint16_t> seen_;                // by participant and game: moves seen
    uint32_t phase_ = 0;
    uint64_t sent_ = 0;
    uint64_t received_ = 0;
    Samples moves_;
    std::vector<std::deque<Sending>> linesOnTheWay_;  // by participant
    uint64_t linesSent_ = 0;
    uint64_t linesReturned_ = 0;
    Samples firstLines_;
    Samples answers_;
};

}  // namespace tavlora
