// SPDX-License-Identifier: GPL-3.0-or-later
// The server's side of finding lobbies: a UDP socket on the program's port that answers each
// query while the lobby is open and not yet started, to the querying client alone. It never
// sends of its own accord, and it answers at most AnswersPerSecond queries in any second, all
// senders together, so nobody can use it to flood a network or as an amplifier.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "net/program_state.h"
#include "net/transport.h"
#include "platform/sockets.h"

namespace tavlora {

constexpr int AnswersPerSecond = 5;
// Queries read per poll at most, answered or not; a flood waits in the system's buffer, which
// drops what does not fit, instead of holding up the main loop.
constexpr int QueriesPerPoll = 32;

// At most AnswersPerSecond answers within any 1000 milliseconds.
class AnswerBudget {
public:
    // True, and counted, when one more answer may go out at the tick count now.
    bool Take(uint32_t now);

private:
    std::array<uint32_t, AnswersPerSecond> sent_{};  // the latest answers' ticks, a ring
    size_t next_ = 0;                                // the oldest once the ring is full
    size_t used_ = 0;
};

class DiscoveryResponder {
public:
    DiscoveryResponder() = default;
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;
    ~DiscoveryResponder() { Close(); }

    // Opens the socket on port (0 picks a free one) on all addresses and tells the watcher.
    // False when it cannot be opened: the lobby then goes on without answering.
    bool Open(uint16_t port, SocketWatcher watcher = {});
    bool IsOpen() const { return socket_.IsOpen(); }
    // The port answered on, or 0 when closed.
    uint16_t Port() const;

    // Reads the queries that have arrived and answers those that may be answered, describing
    // the lobby of state; now is the millisecond tick count. Once the games have started it
    // closes the socket for good: a started lobby is found no more.
    void Poll(const ProgramState& state, uint32_t now);

    // Tells the watcher, then closes; nothing happens when closed already.
    void Close();

private:
    struct Asker {
        uint32_t Address = 0;
        uint16_t Port = 0;
        uint32_t Token = 0;
        friend bool operator==(const Asker&, const Asker&) = default;
    };
    // A client's query arrives once per broadcast address it went to; one answer is enough.
    bool AnsweredAlready(const Asker& asker) const;

    OwnedSocket socket_;
    SocketWatcher watcher_;
    AnswerBudget budget_;
    std::array<Asker, 8> answered_{};  // the latest answered queries, a ring
    size_t nextAnswered_ = 0;
};

}  // namespace tavlora
