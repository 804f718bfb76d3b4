// SPDX-License-Identifier: GPL-3.0-or-later
// Arrivals by an edge-triggered epoll set, readiness by poll() and FIONREAD, wake-ups by one
// QSocketNotifier on the epoll descriptor.
#include "platform/qt/socket_watch.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>

namespace tavlora {

namespace {

constexpr int EventsPerLook = 64;

}  // namespace

SocketWatch::SocketWatch() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    assert(epoll_ >= 0);
}

SocketWatch::~SocketWatch() {
    notifier_.reset();
    close(epoll_);
}

void SocketWatch::Add(int fd) {
    // Edge-triggered: each arrival is reported once, unread data not again. A socket that
    // is readable already when added is reported at once.
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    event.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
}

void SocketWatch::Remove(int fd) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    std::erase_if(reported_, [fd](const auto& entry) { return entry.first == fd; });
}

SocketWatch::Readiness SocketWatch::Look(std::vector<int> sockets) {
    std::ranges::sort(sockets);
    sockets.erase(std::unique(sockets.begin(), sockets.end()), sockets.end());
    std::vector<pollfd> entries;
    for (int fd : sockets) {
        entries.push_back({fd, POLLIN, 0});
    }
    Readiness ready;
    if (entries.empty() || poll(entries.data(), entries.size(), 0) <= 0) {
        return ready;
    }
    for (const pollfd& entry : entries) {
        if (entry.revents != 0) {
            int pending = 0;
            if (ioctl(entry.fd, FIONREAD, &pending) != 0) {
                pending = -1;
            }
            ready.emplace_back(entry.fd, pending);
        }
    }
    return ready;
}

bool SocketWatch::TakeNews() {
    epoll_event events[EventsPerLook];
    std::vector<int> arrived;
    int count = 0;
    do {
        count = epoll_wait(epoll_, events, EventsPerLook, 0);
        for (int i = 0; i < count; ++i) {
            arrived.push_back(events[i].data.fd);
        }
    } while (count == EventsPerLook);
    // Only sockets that had news before or have had an arrival since can be readable now.
    std::vector<int> candidates = arrived;
    for (const auto& [fd, pending] : reported_) {
        candidates.push_back(fd);
    }
    if (candidates.empty()) {
        return false;
    }
    Readiness now = Look(std::move(candidates));
    // An arrival is news even where it leaves a socket as it was last reported: the message
    // read since then and the one that arrived while it was handled may be of one length.
    const bool arrival = std::ranges::any_of(now, [&arrived](const auto& entry) {
        return std::ranges::find(arrived, entry.first) != arrived.end();
    });
    const bool news = !now.empty() && (arrival || now != reported_);
    reported_ = std::move(now);
    return news;
}

void SocketWatch::Arm(const std::function<void()>& wake) {
    if (!notifier_) {
        notifier_ = std::make_unique<QSocketNotifier>(epoll_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            if (wake_) {
                wake_();
            }
        });
    }
    wake_ = wake;
    notifier_->setEnabled(true);
}

void SocketWatch::Disarm() {
    if (notifier_) {
        notifier_->setEnabled(false);
    }
    wake_ = nullptr;
}

}  // namespace tavlora
