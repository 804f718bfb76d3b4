// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

namespace tavlora {

namespace {

constexpr int ListenBacklog = 100;

// Moves and clock messages are a few dozen bytes each; waiting to coalesce them would only
// delay the other boards.
void SendImmediately(int socket) {
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Probes after the first, each unanswered one a further interval later.
constexpr int KeepAliveProbes = 3;

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

void DetectSilentPeer(int socket, int limitSeconds) {
    // The first probe after idle seconds, then one per interval; the connection ends when
    // the limit has passed without an answer, and likewise when sent data stays
    // unacknowledged that long.
    const int interval = std::max(1, limitSeconds / 5);
    const int idle = std::max(1, limitSeconds - KeepAliveProbes * interval);
    const int probes = KeepAliveProbes;
    const unsigned userTimeoutMs = static_cast<unsigned>(std::max(limitSeconds, 1)) * 1000u;
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    setsockopt(socket, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

int OpenListeningSocket(uint16_t port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return NoSocket;
    }
    int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket, ListenBacklog) != 0) {
        close(socket);
        return NoSocket;
    }
    return socket;
}

uint16_t LocalPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET) {
        return 0;
    }
    return ntohs(address.sin_port);
}

int AcceptConnection(int listener) {
    const int socket = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) {
        return NoSocket;
    }
    SendImmediately(socket);
    return socket;
}

int StartConnect(const std::string& dottedAddress, uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, dottedAddress.c_str(), &address.sin_addr) != 1) {
        return NoSocket;
    }
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return NoSocket;
    }
    SendImmediately(socket);
    // Non-blocking, so an address that never answers costs the caller's limit rather than
    // the system's own connect time-out of minutes.
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        close(socket);
        return NoSocket;
    }
    return socket;
}

ConnectProgress FinishConnect(int socket, int waitMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::max<int64_t>(
            0,
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        pollfd entry{socket, POLLOUT, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            return ConnectProgress::Pending;
        }
        int error = 0;
        socklen_t length = sizeof error;
        const bool stands = ready > 0 &&
                            getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                            error == 0;
        return stands ? ConnectProgress::Connected : ConnectProgress::Failed;
    }
}

int ConnectTo(const std::string& dottedAddress, uint16_t port, int timeoutMs) {
    const int socket = StartConnect(dottedAddress, port);
    if (socket != NoSocket && FinishConnect(socket, timeoutMs) != ConnectProgress::Connected) {
        close(socket);
        return NoSocket;
    }
    return socket;
}

IoResult ReceiveSome(int socket, std::span<uint8_t> buffer) {
    if (buffer.empty()) {
        return {};
    }
    const ssize_t count = recv(socket, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (count > 0) {
        return {static_cast<size_t>(count), false};
    }
    if (count < 0 && WouldBlock(errno)) {
        return {};
    }
    return {0, true};
}

IoResult SendSome(int socket, std::span<const uint8_t> data) {
    return SendSome(socket, std::span(&data, 1));
}

IoResult SendSome(int socket, std::span<const std::span<const uint8_t>> pieces) {
    iovec vectors[MostPiecesPerSend];
    size_t count = 0;
    for (std::span<const uint8_t> piece :
         pieces.first(std::min(pieces.size(), MostPiecesPerSend))) {
        if (!piece.empty()) {
            vectors[count++] = {const_cast<uint8_t*>(piece.data()), piece.size()};
        }
    }
    if (count == 0) {
        return {};
    }
    msghdr message{};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    const ssize_t sent = sendmsg(socket, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0) {
        return {static_cast<size_t>(sent), false};
    }
    return {0, !WouldBlock(errno)};
}

ReadinessSet::ReadinessSet() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

ReadinessSet::~ReadinessSet() {
    if (epoll_ >= 0) {
        close(epoll_);
    }
}

ReadinessSet::ReadinessSet(ReadinessSet&& other) noexcept
    : epoll_(std::exchange(other.epoll_, -1)), count_(std::exchange(other.count_, 0)) {}

ReadinessSet& ReadinessSet::operator=(ReadinessSet&& other) noexcept {
    if (this != &other) {
        if (epoll_ >= 0) {
            close(epoll_);
        }
        epoll_ = std::exchange(other.epoll_, -1);
        count_ = std::exchange(other.count_, 0);
    }
    return *this;
}

void ReadinessSet::Add(int socket) {
    epoll_event event{};
    event.events = EPOLLIN;  // level: a socket left unread is named again next time
    event.data.fd = socket;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event) == 0) {
        ++count_;
    }
}

void ReadinessSet::Remove(int socket) {
    if (epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr) == 0) {
        --count_;
    }
}

void ReadinessSet::Readable(std::vector<int>& sockets) const {
    sockets.clear();
    if (count_ == 0) {
        return;
    }
    std::vector<epoll_event> events(static_cast<size_t>(count_));
    const int ready = epoll_wait(epoll_, events.data(), count_, 0);
    for (int i = 0; i < ready; ++i) {
        sockets.push_back(events[static_cast<size_t>(i)].data.fd);
    }
}

bool ReadinessSet::AnyReadable() const {
    epoll_event event{};
    return count_ > 0 && epoll_wait(epoll_, &event, 1, 0) > 0;
}

void CloseSocket(int socket) {
    if (socket != NoSocket) {
        close(socket);
    }
}

}  // namespace tavlora
