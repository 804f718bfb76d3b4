// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/game_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tavlora {

namespace {

// Another program starting in the same second is the one reason for a name to be taken.
constexpr int MostNameTries = 100;

std::string FileName(const std::tm& start, int attempt) {
    char name[96];  // room for any int, as the compiler cannot know the ranges
    std::snprintf(name, sizeof name, "Tavlora-%04d-%02d-%02d-%02d%02d%02d", start.tm_year + 1900,
                  start.tm_mon + 1, start.tm_mday, start.tm_hour, start.tm_min, start.tm_sec);
    std::string text = name;
    if (attempt > 1) {
        text += '-' + std::to_string(attempt);
    }
    return text + ".pgn";
}

}  // namespace

GameArchive::GameArchive(const std::string& settingsFolder, const std::tm& start)
    : folder_(settingsFolder.empty() ? "Partien" : settingsFolder + "/Partien") {
    path_ = folder_ + '/' + FileName(start, 1);
    if (settingsFolder.empty()) {
        failed_ = true;  // no application-data folder to keep anything in
        return;
    }
    mkdir(folder_.c_str(), 0777);
    for (int attempt = 1; attempt <= MostNameTries; ++attempt) {
        const std::string path = folder_ + '/' + FileName(start, attempt);
        fd_ = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            path_ = path;
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    failed_ = true;
}

GameArchive::~GameArchive() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool GameArchive::Append(std::string_view text) {
    if (fd_ < 0) {
        return false;
    }
    // The kernel has the text once write returns, so a crash of the program cannot lose it.
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = write(fd_, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            if (ftruncate(fd_, written_) != 0) {
                // The file now ends in part of a game; nothing more is written after it.
                close(fd_);
                fd_ = -1;
            }
            failed_ = true;
            return false;
        }
        done += static_cast<size_t>(count);
    }
    written_ += static_cast<long long>(text.size());
    return true;
}

}  // namespace tavlora
