// SPDX-License-Identifier: GPL-3.0-or-later
// The program's thin layer over POSIX TCP sockets: a listening socket, accepted and outgoing
// connections, all non-blocking, and single reads and writes that never block and never
// raise SIGPIPE. Sockets are plain descriptors; framing and queues live in net/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavlora {

constexpr int NoSocket = -1;

// Listening
// A non-blocking socket listening on all IPv4 addresses with SO_REUSEADDR and a backlog of
// 100. Port 0 picks a free port (see LocalPort). NoSocket when the port cannot be opened.
int OpenListeningSocket(uint16_t port);
// The port a socket is bound to, or 0 when it cannot be told.
uint16_t LocalPort(int socket);
// One pending connection, non-blocking, or NoSocket when none is waiting.
int AcceptConnection(int listener);

// Connecting
// Starts a non-blocking connection to a dotted IPv4 address ("192.168.0.5") and returns its
// socket before the peer has answered. NoSocket when the address is not a dotted IPv4
// address or the connect fails at once.
int StartConnect(const std::string& dottedAddress, uint16_t port);
enum class ConnectProgress { Pending, Connected, Failed };
// Waits at most waitMs (0: only looks) for the peer to answer a started connection.
ConnectProgress FinishConnect(int socket, int waitMs);
// Both in one, waiting at most timeoutMs. NoSocket when the address is not a dotted IPv4
// address, the peer refuses, or the time runs out.
int ConnectTo(const std::string& dottedAddress, uint16_t port, int timeoutMs);

// Silence
// Makes the kernel end a connection whose peer has gone without a word (a link taken down, a
// laptop shut: no FIN, no RST) within about limitSeconds: keep-alive probes while the
// connection is idle, and a user time-out while sent data waits for its acknowledgement, when
// keep-alive does not probe. Probes carry no payload; the peer's program sees nothing of them.
void DetectSilentPeer(int socket, int limitSeconds);

// Reading and writing
// What one read or one write did: Count bytes moved; Ended once the peer has closed or
// reset the connection (a write to such a peer ends it too, without a signal).
struct IoResult {
    size_t Count = 0;
    bool Ended = false;
};
// One read of at most buffer.size() bytes; Count 0 and not Ended when nothing is waiting.
IoResult ReceiveSome(int socket, std::span<uint8_t> buffer);
// One write of at most data.size() bytes; Count may fall short when the peer is slow.
IoResult SendSome(int socket, std::span<const uint8_t> data);
// One write of the pieces one after the other, as if they were one buffer; at most the
// first MostPiecesPerSend of them.
constexpr size_t MostPiecesPerSend = 64;
IoResult SendSome(int socket, std::span<const std::span<const uint8_t>> pieces);

// Readiness
// Sockets that answer which of them are readable (data, a pending connection, or an end or
// error to report, so a read or accept will not come back empty-handed) without a look at
// the others: asking costs the same with 126 quiet connections as with none.
class ReadinessSet {
public:
    ReadinessSet();
    ~ReadinessSet();
    ReadinessSet(ReadinessSet&& other) noexcept;
    ReadinessSet& operator=(ReadinessSet&& other) noexcept;

    void Add(int socket);
    // Before the socket is closed.
    void Remove(int socket);
    // Fills sockets with those of the set that are readable now, without waiting.
    void Readable(std::vector<int>& sockets) const;
    // Whether any socket of the set is readable now, without waiting.
    bool AnyReadable() const;

private:
    int epoll_ = -1;
    int count_ = 0;  // sockets in the set
};

void CloseSocket(int socket);

// Owns one socket and closes it when destroyed; a move hands the socket on.
class OwnedSocket {
public:
    OwnedSocket() = default;
    explicit OwnedSocket(int socket) : socket_(socket) {}
    OwnedSocket(OwnedSocket&& other) noexcept : socket_(other.Release()) {}
    OwnedSocket& operator=(OwnedSocket&& other) noexcept {
        if (this != &other) {
            Close();
            socket_ = other.Release();
        }
        return *this;
    }
    ~OwnedSocket() { Close(); }

    int Get() const { return socket_; }
    bool IsOpen() const { return socket_ != NoSocket; }
    void Close() { CloseSocket(Release()); }

private:
    int Release() {
        const int socket = socket_;
        socket_ = NoSocket;
        return socket;
    }

    int socket_ = NoSocket;
};

}  // namespace tavlora
