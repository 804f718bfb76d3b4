// Readiness by poll() and FIONREAD; wake-ups by QSocketNotifier.
#include "platform/qt/socket_watch.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <algorithm>

namespace tavlora {

void SocketWatch::Add(int fd) {
    if (Notifiers_.contains(fd)) {
        return;
    }
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    notifier->setEnabled(false);
    Notifiers_[fd] = std::move(notifier);
}

void SocketWatch::Remove(int fd) {
    Notifiers_.erase(fd);
    std::erase_if(Reported_, [fd](const auto& entry) { return entry.first == fd; });
}

SocketWatch::Readiness SocketWatch::Look() const {
    std::vector<pollfd> entries;
    for (const auto& [fd, notifier] : Notifiers_) {
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
    Readiness now = Look();
    const bool news = !now.empty() && now != Reported_;
    Reported_ = std::move(now);
    return news;
}

void SocketWatch::Arm(const std::function<void()>& wake) {
    for (auto& [fd, notifier] : Notifiers_) {
        const bool reported = std::ranges::any_of(
            Reported_, [fd = fd](const auto& entry) { return entry.first == fd; });
        if (!reported) {
            QObject::connect(notifier.get(), &QSocketNotifier::activated, wake);
            notifier->setEnabled(true);
        }
    }
}

void SocketWatch::Disarm() {
    for (auto& [fd, notifier] : Notifiers_) {
        notifier->setEnabled(false);
        QObject::disconnect(notifier.get(), &QSocketNotifier::activated, nullptr, nullptr);
    }
}

}  // namespace tavlora
