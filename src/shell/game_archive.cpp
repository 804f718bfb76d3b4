// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/game_archive.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

namespace tavlora {

namespace {

// Another program starting in the same second is the one reason for a name to be taken.
constexpr int MostNameTries = 100;
// Far beyond the games of the largest tournament, which take some megabytes.
constexpr size_t MostArchiveBytes = size_t{256} << 20;

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
        if (file_.Open(path, AppendFile::Mode::CreateNew)) {
            path_ = path;
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    failed_ = true;
}

GameArchive::GameArchive(const std::string& path)
    : folder_(path.substr(0, std::min(path.rfind('/'), path.size()))), path_(path) {
    // A file that cannot be read is gone on with all the same: at worst a game is in it twice.
    if (const std::optional<std::string> text = ReadWholeFile(path, MostArchiveBytes)) {
        savedBefore_ = FinishedPgnGames(*text);
    }
    failed_ = !file_.Open(path, AppendFile::Mode::CreateOrAppend);
}

bool GameArchive::Append(std::string_view text) {
    if (!file_.IsOpen()) {
        return false;
    }
    if (!file_.Append(text)) {
        failed_ = true;
        return false;
    }
    return true;
}

}  // namespace tavlora
