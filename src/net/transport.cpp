// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/transport.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <iterator>
#include <utility>
#include <vector>

namespace tavlora {

namespace {

// One read per connection and poll takes at most this much: enough for any message the
// program sends in one go, small enough that a flood is taken in steps.
constexpr size_t ReadChunkSize = 64 * 1024;

}  // namespace

bool Transport::Listen(uint16_t port) {
    assert(!listener_.IsOpen());
    listener_ = OwnedSocket(OpenListeningSocket(port));
    if (!listener_.IsOpen()) {
        return false;
    }
    readiness_.Add(listener_.Get());
    if (watcher_) {
        watcher_(listener_.Get(), true);
    }
    return true;
}

uint16_t Transport::ListeningPort() const {
    return listener_.IsOpen() ? LocalPort(listener_.Get()) : 0;
}

ConnectionId Transport::Connect(const std::string& dottedAddress, uint16_t port, int timeoutMs) {
    OwnedSocket socket(ConnectTo(dottedAddress, port, timeoutMs));
    if (!socket.IsOpen()) {
        return NoConnection;
    }
    return Register(std::move(socket), false);
}

ConnectionId Transport::StartConnect(const std::string& dottedAddress, uint16_t port,
                                     int timeoutMs) {
    OwnedSocket socket(tavlora::StartConnect(dottedAddress, port));
    if (!socket.IsOpen()) {
        return NoConnection;
    }
    const ConnectionId id = Register(std::move(socket), false);
    connections_[id].ConnectDeadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    return id;
}

ConnectionId Transport::Register(OwnedSocket socket, bool accepted) {
    // Ids are never reused, so a stale id can never reach a newer connection.
    const ConnectionId id = nextId_++;
    quiet_ = false;
    DetectSilentPeer(socket.Get(), silenceLimitSeconds_);
    Connection& connection = connections_[id];
    connection.Socket = std::move(socket);
    connection.Accepted = accepted;
    readiness_.Add(connection.Socket.Get());
    bySocket_[connection.Socket.Get()] = id;
    if (watcher_) {
        watcher_(connection.Socket.Get(), true);
    }
    return id;
}

NetEvent Transport::Poll() {
    FlushDue();
    bool listenerReady = false;
    ReadArrived(listenerReady);
    if (quiet_ && !listenerReady) {
        return {};
    }
    NetEvent event = NextEvent(listenerReady);
    quiet_ = event.Kind == NetEventKind::None &&
             std::ranges::none_of(connections_, [](const auto& entry) {
                 return entry.second.ConnectDeadline.has_value();
             });
    behind_ = HasPendingEvent();
    if (!behind_) {
        FlushDue();  // caught up: what was gathered goes out before this event is handled
    }
    return event;
}

NetEvent Transport::NextEvent(bool listenerReady) {
    // Connections after the one served last go first, then the listening socket, then the
    // rest, so no busy peer can crowd out the others or the newcomers.
    const ConnectionId servedBefore = lastServed_;
    for (auto it = connections_.upper_bound(servedBefore); it != connections_.end();) {
        const auto next = std::next(it);  // TakeEvent may erase it
        NetEvent event = TakeEvent(it);
        if (event.Kind != NetEventKind::None) {
            return event;
        }
        it = next;
    }
    if (listenerReady) {
        NetEvent event = TakeNewConnection();
        if (event.Kind != NetEventKind::None) {
            return event;
        }
    }
    for (auto it = connections_.begin(); it != connections_.end() && it->first <= servedBefore;) {
        const auto next = std::next(it);
        NetEvent event = TakeEvent(it);
        if (event.Kind != NetEventKind::None) {
            return event;
        }
        it = next;
    }
    return {};
}

void Transport::ReadArrived(bool& listenerReady) {
    readiness_.Readable(readable_);
    readChunk_.resize(ReadChunkSize);
    for (int socket : readable_) {
        if (socket == listener_.Get()) {
            listenerReady = true;
            continue;
        }
        const auto id = bySocket_.find(socket);
        assert(id != bySocket_.end());
        Connection& connection = connections_.at(id->second);
        // A connection that already holds a whole message is not read until that message
        // has been taken: what waits in its socket holds the peer back, not our memory.
        if (connection.Received.Status() != FrameStatus::Incomplete) {
            continue;
        }
        const IoResult read = ReceiveSome(socket, readChunk_);
        connection.Received.Append(std::span(readChunk_).first(read.Count));
        if (read.Ended) {
            EndConnection(connection);
        }
        quiet_ = quiet_ && read.Count == 0 && !read.Ended;
    }
}

void Transport::FlushDue() {
    if (!queued_) {
        return;  // nothing waits anywhere: the usual case of a quiet pass
    }
    queued_ = false;
    const Clock::time_point now = behind_ ? Clock::now() : Clock::time_point{};
    for (auto& entry : connections_) {
        Connection& connection = entry.second;
        // Frames tried before and held back by a slow peer are tried again in every poll.
        if (!connection.Queue.empty() &&
            (!behind_ || connection.Gathered == 0 || connection.Gathered >= GatherFrames ||
             now - connection.GatheredSince >= GatherDelay)) {
            Flush(connection);
        }
        queued_ = queued_ || !connection.Queue.empty();
    }
}

void Transport::Flush(Connection& connection) {
    connection.Gathered = 0;
    std::array<std::span<const uint8_t>, MostPiecesPerSend> pieces;
    while (connection.Socket.IsOpen() && !connection.Queue.empty()) {
        size_t count = 0;
        size_t offered = 0;
        for (const Frame& frame : connection.Queue) {
            if (count == pieces.size()) {
                break;
            }
            const size_t skip = count == 0 ? connection.SentOfFront : 0;
            pieces[count] = std::span<const uint8_t>(*frame).subspan(skip);
            offered += pieces[count++].size();
        }
        const IoResult sent = SendSome(connection.Socket.Get(), std::span(pieces).first(count));
        if (sent.Ended) {
            EndConnection(connection);
            return;
        }
        connection.QueuedBytes -= sent.Count;
        for (size_t left = sent.Count; left > 0;) {
            const size_t rest = connection.Queue.front()->size() - connection.SentOfFront;
            if (left < rest) {
                connection.SentOfFront += left;
                break;
            }
            left -= rest;
            connection.Queue.pop_front();
            connection.SentOfFront = 0;
        }
        if (sent.Count < offered) {
            return;  // the peer takes no more for now; the rest goes on a later poll
        }
    }
}

void Transport::EndConnection(Connection& connection) {
    quiet_ = false;  // its end is to be reported
    if (connection.Socket.IsOpen()) {
        if (watcher_) {
            watcher_(connection.Socket.Get(), false);
        }
        readiness_.Remove(connection.Socket.Get());
        bySocket_.erase(connection.Socket.Get());
        connection.Socket.Close();
    }
    connection.Queue.clear();
    connection.SentOfFront = 0;
    connection.QueuedBytes = 0;
    connection.Gathered = 0;
}

NetEvent Transport::TakeEvent(Connections::iterator it) {
    const ConnectionId id = it->first;
    Connection& connection = it->second;
    if (connection.ConnectDeadline && AdvanceConnect(connection)) {
        lastServed_ = id;
        return {NetEventKind::Connected, id};
    }
    for (;;) {
        const FrameStatus status = connection.Received.Status();
        if (status == FrameStatus::Incomplete && connection.Socket.IsOpen()) {
            return {};
        }
        if (status == FrameStatus::Complete) {
            Bytes body = connection.Received.TakeBody();
            if (std::optional<Message> message = DecodeBody(body)) {
                lastServed_ = id;
                return {NetEventKind::MessageArrived, id, std::move(*message), std::move(body)};
            }
            // A code we do not know may be a newer program's word: skipped, the peer stays.
            // So is a server's word that we cannot read.
            if (!IsKnownCode(body[0]) || !connection.Accepted) {
                continue;
            }
        }
        // Broken framing, a body an accepted peer should never send, or the end of the
        // stream with at most part of a message left: the connection is over.
        EndConnection(connection);
        connections_.erase(it);
        lastServed_ = id;
        return {NetEventKind::Closed, id};
    }
}

bool Transport::AdvanceConnect(Connection& connection) {
    // A refusal may have ended the socket already, when a read found its error.
    const ConnectProgress progress = connection.Socket.IsOpen()
                                         ? FinishConnect(connection.Socket.Get(), 0)
                                         : ConnectProgress::Failed;
    if (progress == ConnectProgress::Connected) {
        connection.ConnectDeadline.reset();
        return true;
    }
    if (progress == ConnectProgress::Failed || Clock::now() >= *connection.ConnectDeadline) {
        connection.ConnectDeadline.reset();
        EndConnection(connection);  // reported Closed
    }
    return false;
}

NetEvent Transport::TakeNewConnection() {
    OwnedSocket socket(AcceptConnection(listener_.Get()));
    if (!socket.IsOpen()) {
        return {};
    }
    lastServed_ = 0;
    return {NetEventKind::NewConnection, Register(std::move(socket), true)};
}

bool Transport::HasPendingEvent() const {
    if (quiet_) {
        return false;
    }
    for (const auto& [id, connection] : connections_) {
        if (!connection.Socket.IsOpen() ||
            connection.Received.Status() != FrameStatus::Incomplete) {
            return true;
        }
    }
    return false;
}

void Transport::Send(ConnectionId connectionId, const Frame& frame) {
    assert(frame && !frame->empty());
    const auto it = connections_.find(connectionId);
    if (it == connections_.end() || !it->second.Socket.IsOpen()) {
        return;
    }
    Connection& connection = it->second;
    if (connection.QueuedBytes + frame->size() > MaxQueuedBytes) {
        // The peer has stopped reading; cut it off instead of keeping ever more for it.
        EndConnection(connection);
        return;
    }
    connection.Queue.push_back(frame);
    connection.QueuedBytes += frame->size();
    queued_ = true;
    if (!behind_) {
        Flush(connection);
        return;
    }
    if (connection.Gathered++ == 0) {
        connection.GatheredSince = Clock::now();
    }
    if (connection.Gathered >= GatherFrames) {
        Flush(connection);
    }
}

size_t Transport::QueuedBytes(ConnectionId connectionId) const {
    const auto it = connections_.find(connectionId);
    return it == connections_.end() ? 0 : it->second.QueuedBytes;
}

void Transport::Close(ConnectionId connectionId) {
    const auto it = connections_.find(connectionId);
    if (it == connections_.end()) {
        return;
    }
    Flush(it->second);
    EndConnection(it->second);
    connections_.erase(it);
}

void Transport::CloseAll() {
    for (auto& entry : connections_) {
        Flush(entry.second);
        EndConnection(entry.second);
    }
    connections_.clear();
    if (listener_.IsOpen()) {
        if (watcher_) {
            watcher_(listener_.Get(), false);
        }
        readiness_.Remove(listener_.Get());
        listener_.Close();
    }
}

void Transport::SetSocketWatcher(SocketWatcher watcher) {
    watcher_ = std::move(watcher);
    if (!watcher_) {
        return;
    }
    if (listener_.IsOpen()) {
        watcher_(listener_.Get(), true);
    }
    for (const auto& [id, connection] : connections_) {
        if (connection.Socket.IsOpen()) {
            watcher_(connection.Socket.Get(), true);
        }
    }
}

}  // namespace tavlora
