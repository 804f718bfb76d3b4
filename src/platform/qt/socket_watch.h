// The watched sockets of the event wait. A socket with data cuts a wait short, but the
// same unread data does so only once: a loop that leaves it waiting (the promotion choice)
// must not spin, while a loop that takes one message per pass is woken for every message.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace tavlora {

class SocketWatch {
public:
    void Add(int fd);
    void Remove(int fd);

    // True when a watched socket is readable (data, an end, a pending connection) and its
    // state differs from the one last reported: something arrived or something was read.
    bool TakeNews();

    // For one wait: wakes is called when a socket that is quiet now becomes readable.
    // Sockets with data already reported stay silent, or their notifiers would fire
    // without end. Disarm after the wait.
    void Arm(const std::function<void()>& wake);
    void Disarm();

private:
    // The readable sockets with their pending byte count (-1 where the system cannot tell,
    // as for a listening socket), ordered by socket.
    using Readiness = std::vector<std::pair<int, int>>;
    Readiness Look() const;

    std::map<int, std::unique_ptr<QSocketNotifier>> Notifiers_;
    Readiness Reported_;
};

}  // namespace tavlora
