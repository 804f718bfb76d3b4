// SPDX-License-Identifier: GPL-3.0-or-later
// The watched sockets of the event wait. A socket with data cuts a wait short, but the
// same unread data does so only once: a loop that leaves it waiting (the promotion choice)
// must not spin, while a loop that takes one message per pass is woken for every message.
// One epoll set holds the sockets and reports each arrival once, so a wait costs the same
// with one connection as with 126, and the event loop watches a single descriptor.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tavlora {

class SocketWatch {
public:
    SocketWatch();
    ~SocketWatch();
    SocketWatch(const SocketWatch&) = delete;
    SocketWatch& operator=(const SocketWatch&) = delete;

    void Add(int fd);
    void Remove(int fd);

    // True when a watched socket is readable (data, an end, a pending connection) and
    // something arrived on it since the last call, or its state differs from the one last
    // reported: something was read and some is left.
    bool TakeNews();

    // For one wait: wakes is called when something arrives on a watched socket. Sockets
    // whose data was reported already stay silent until more arrives. Disarm after the wait.
    void Arm(const std::function<void()>& wake);
    void Disarm();

private:
    // Readable sockets with their pending byte count (-1 where the system cannot tell, as
    // for a listening socket), ordered by socket.
    using Readiness = std::vector<std::pair<int, int>>;
    // Of the given sockets, those readable now.
    static Readiness Look(std::vector<int> sockets);

    int epoll_ = -1;
    // Made on first use: it needs the application's event dispatcher.
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> wake_;
    Readiness reported_;
};

}  // namespace tavlora
