// The relay latency of moves: from the moment a bot sends a move to the moment each of the
// other bots receives it. Every bot sees the moves of a game in the order they were sent,
// so the n-th move of a game that reaches a bot is the n-th one sent in that game.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "bot/swarm.h"

namespace tavlora {

class LatencyRecorder final : public SwarmObserver {
public:
    using Clock = std::chrono::steady_clock;

    explicit LatencyRecorder(int32_t participants);

    void MoveSent(const Bot& sender, int32_t white, int32_t black) override;
    void MoveReceived(const Bot& receiver, int32_t white, int32_t black) override;

    // Counts and samples afresh; moves sent before count no more.
    void BeginPhase();
    uint64_t Sent() const { return sent_; }
    // Receipts of the moves sent in this phase.
    uint64_t Received() const { return received_; }
    // The latency below which the given share (0 to 1) of this phase's receipts lie, in
    // milliseconds; 0 without receipts.
    double Percentile(double share);

private:
    struct Sending {
        Clock::time_point At;
        uint32_t Phase;
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
    std::vector<float> samples_;  // milliseconds
    bool sorted_ = false;
};

}  // namespace tavlora
