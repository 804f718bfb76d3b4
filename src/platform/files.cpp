// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tavlora {

namespace {

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t count = write(fd, content.data(), content.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? std::optional<std::string>(std::in_place) : std::nullopt;
    }
    struct stat status {};
    bool readable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    std::string content;
    while (readable) {
        char buffer[8192];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0) {
            break;
        }
        if (count > 0) {
            content.append(buffer, static_cast<size_t>(count));
            readable = content.size() <= limit;
        } else {
            readable = errno == EINTR;
        }
    }
    close(fd);
    return readable ? std::optional<std::string>(std::move(content)) : std::nullopt;
}

bool ReplaceFile(const std::string& path, std::string_view content, std::optional<mode_t> mode) {
    const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                        mode.value_or(0666));
    if (fd < 0) {
        return false;
    }
    bool written = WriteAll(fd, content) && (!mode || fchmod(fd, *mode) == 0) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool RenameToFreeName(const std::string& from, const std::string& to) {
    return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

// The thread that syncs: it holds a descriptor of its own, so nothing it touches is the
// appender's but the count of bytes appended.
struct AppendFile::BackgroundSync {
    BackgroundSync(int descriptor, long long appended, std::chrono::milliseconds interval)
        : Fd(descriptor), Appended(appended), Synced(appended), Interval(interval) {}

    ~BackgroundSync() {
        if (Thread.joinable()) {
            {
                const std::lock_guard lock(Mutex);
                Stopping = true;
            }
            Wake.notify_one();
            Thread.join();
        }
        close(Fd);
    }

    void Run() {
        std::unique_lock lock(Mutex);
        for (bool last = false; !last;) {
            last = Wake.wait_for(lock, Interval, [this] { return Stopping; });
            const long long appended = Appended.load(std::memory_order_relaxed);
            if (appended != Synced && fdatasync(Fd) == 0) {
                Synced = appended;
            }
        }
    }

    const int Fd;
    std::atomic<long long> Appended;
    long long Synced;
    const std::chrono::milliseconds Interval;
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Stopping = false;
    std::thread Thread;  // started last, once everything it reads is there
};

AppendFile::AppendFile() = default;

AppendFile::~AppendFile() {
    Close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      background_(std::move(other.background_)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
        background_ = std::move(other.background_);
    }
    return *this;
}

bool AppendFile::Open(const std::string& path, Mode how, mode_t mode) {
    Close();
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW |
                      (how == Mode::CreateNew ? O_EXCL : 0);
    fd_ = open(path.c_str(), flags, mode);
    if (fd_ < 0) {
        return false;
    }
    const off_t end = lseek(fd_, 0, SEEK_END);
    size_ = end < 0 ? 0 : static_cast<long long>(end);
    return true;
}

bool AppendFile::Append(std::string_view record) {
    if (fd_ < 0) {
        return false;
    }
    if (!WriteAll(fd_, record)) {
        if (ftruncate(fd_, size_) != 0) {
            Close();  // the file now ends in part of a record; nothing may follow it
        }
        return false;
    }
    size_ += static_cast<long long>(record.size());
    if (background_) {
        background_->Appended.store(size_, std::memory_order_relaxed);
    }
    return true;
}

bool AppendFile::Sync() {
    return fd_ >= 0 && fdatasync(fd_) == 0;
}

bool AppendFile::SyncEvery(std::chrono::milliseconds interval) {
    if (fd_ < 0) {
        return false;
    }
    background_.reset();
    const int descriptor = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0) {
        return false;
    }
    auto background = std::make_unique<BackgroundSync>(descriptor, size_, interval);
    try {
        background->Thread = std::thread(&BackgroundSync::Run, background.get());
    } catch (const std::system_error&) {
        return false;  // the descriptor goes with it
    }
    background_ = std::move(background);
    return true;
}

void AppendFile::Close() {
    background_.reset();  // its last sync comes first
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

}  // namespace tavlora
