// SPDX-License-Identifier: GPL-3.0-or-later
// The connections of one participant: a server's listening socket and the connections it
// accepts, or a client's one connection to the server. Gathers what arrives into whole
// messages and queues what leaves, without ever blocking, so a slow or hostile peer can
// neither stall the program nor make its memory grow without bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/framing.h"
#include "net/protocol.h"
#include "platform/sockets.h"

namespace tavlora {

using ConnectionId = int32_t;
constexpr ConnectionId NoConnection = -1;

constexpr uint16_t DefaultPort = 6156;
constexpr int ConnectTimeoutMs = 5000;
// A connection whose peer has gone without a word ends after about this long (keep-alive and
// a user time-out on every socket, platform/sockets.h).
constexpr int SilenceLimitSeconds = 13;
// A peer that leaves this much unsent behind has stopped reading and is disconnected.
constexpr size_t MaxQueuedBytes = size_t{4} << 20;
// While the program is behind (whole messages wait in its receive buffers, one taken per
// poll), what it sends is gathered per connection and written in one go: once it has caught
// up, once a connection holds this many frames, or once the oldest has waited this long.
// A relay to 126 recipients then costs 126 writes per handful of messages, not per message.
constexpr size_t GatherFrames = 16;
constexpr std::chrono::milliseconds GatherDelay{2};

enum class NetEventKind {
    None,
    NewConnection,   // accepted from the listening socket
    Connected,       // a connection begun by StartConnect stands
    MessageArrived,  // one whole, well-formed message
    Closed,          // the connection is gone; its id is forgotten after this report
};

struct NetEvent {
    NetEventKind Kind = NetEventKind::None;
    ConnectionId Connection = NoConnection;
    Message Received;  // MessageArrived only: the decoded message
    Bytes Body;        // MessageArrived only: the body as it arrived, to relay it unchanged
};

// Told with true when a socket opens and with false just before it closes, so the event
// wait can wake as soon as one of them has something to read.
using SocketWatcher = std::function<void(int socket, bool watch)>;

class Transport {
public:
    // Server
    // Listens on all local addresses; port 0 picks a free one. False when the port cannot be
    // opened. Only while not listening already.
    bool Listen(uint16_t port);
    // The port listened on, or 0 when not listening.
    uint16_t ListeningPort() const;

    // Client
    // Connects to a dotted IPv4 address, giving up after timeoutMs. NoConnection on failure.
    ConnectionId Connect(const std::string& dottedAddress, uint16_t port,
                         int timeoutMs = ConnectTimeoutMs);
    // Begins a connection and returns at once, so the program goes on meanwhile. Poll reports
    // it Connected once the peer has answered, or Closed when the peer refuses or has not
    // answered within timeoutMs. NoConnection when the address is not a dotted IPv4 address
    // or the connect fails at once.
    ConnectionId StartConnect(const std::string& dottedAddress, uint16_t port,
                              int timeoutMs = ConnectTimeoutMs);

    // Both
    // Writes the send queues that are due, reads what has arrived, and returns at most one
    // event,
    // taking the connections (and the listening socket) in turn. Messages that arrived
    // together come out on successive polls, in order; a connection's messages that arrived
    // before it ended come out before its Closed, which is reported exactly once.
    // A connection ends, and is reported Closed, when the peer closes or resets it, when it
    // announces a length of 0 or less or above MaxBodyLength, when its send queue passes
    // MaxQueuedBytes, and, for an accepted connection, when it sends a body of a known code
    // that does not decode. A body of an unknown code is dropped on every connection, and on
    // a client's connection any body that does not decode.
    NetEvent Poll();
    // True when the next Poll has an event without waiting for the network: a whole
    // message or an end is already buffered.
    bool HasPendingEvent() const;
    // True when a socket holds what has not been read yet: data, an end, a newcomer.
    bool HasUnread() const { return readiness_.AnyReadable(); }

    // Queues the frame and sends what the peer takes now, or, while the program is behind,
    // gathers it with the next ones. A connection that is unknown or already gone is
    // skipped, so sends to a departed participant are harmless.
    void Send(ConnectionId connection, const Frame& frame);
    // Bytes queued for the connection and not yet taken by its peer; 0 for an unknown one.
    size_t QueuedBytes(ConnectionId connection) const;
    // Closes at once after one last attempt to hand over what is queued; nothing more is
    // read and no Closed is reported for it. Unknown ids are ignored.
    void Close(ConnectionId connection);
    // Closes the listening socket and every connection after one last attempt to hand over
    // what is queued, without reports, telling the watcher; at the end of the program.
    // Destroying the transport closes them without a word.
    void CloseAll();

    // Tells watcher at once about every open socket, and later about every change.
    void SetSocketWatcher(SocketWatcher watcher);
    // How long a connection opened from now on may go silent; tests shorten it.
    void SetSilenceLimit(int seconds) { silenceLimitSeconds_ = seconds; }

private:
    using Clock = std::chrono::steady_clock;

    struct Connection {
        OwnedSocket Socket;  // closed once the peer has gone; buffered messages still count
        bool Accepted = false;
        std::optional<Clock::time_point> ConnectDeadline;  // while begun and not yet answered
        ReceiveBuffer Received;
        std::deque<Frame> Queue;
        size_t SentOfFront = 0;  // bytes of Queue.front() already handed to the socket
        size_t QueuedBytes = 0;
        Clock::time_point GatheredSince;  // when the oldest frame not yet tried was queued
        size_t Gathered = 0;              // frames queued and not yet tried
    };
    using Connections = std::map<ConnectionId, Connection>;

    ConnectionId Register(OwnedSocket socket, bool accepted);
    void ReadArrived(bool& listenerReady);
    NetEvent NextEvent(bool listenerReady);
    void Flush(Connection& connection);
    // Writes every queue while the program keeps up, else those whose gathering is over.
    void FlushDue();
    void EndConnection(Connection& connection);
    // The event connection has ready, if any; a Closed one has been erased.
    NetEvent TakeEvent(Connections::iterator it);
    // True when a begun connection has been answered now; ends it when it failed or its
    // time is up.
    bool AdvanceConnect(Connection& connection);
    NetEvent TakeNewConnection();

    OwnedSocket listener_;
    Connections connections_;
    ReadinessSet readiness_;                          // the listener and every open connection
    std::unordered_map<int, ConnectionId> bySocket_;  // the open connections by socket
    std::vector<int> readable_;                       // scratch of ReadArrived
    ConnectionId nextId_ = 1;
    ConnectionId lastServed_ = 0;  // connections after it go first in the next Poll
    bool behind_ = false;          // the last Poll left whole messages buffered
    bool queued_ = false;          // some send queue may hold frames
    // No connection has an event to give until something is read or a connection ends: a
    // Poll found none, and none was connecting. Then a quiet poll looks at no connection.
    bool quiet_ = false;
    SocketWatcher watcher_;
    int silenceLimitSeconds_ = SilenceLimitSeconds;
    Bytes readChunk_;
};

}  // namespace tavlora
