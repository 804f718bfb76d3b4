// SPDX-License-Identifier: GPL-3.0-or-later
// The file that keeps the games of one tournament, or of one single-player game, as PGN:
// Partien/Tavlora-YYYY-MM-DD-HHMMSS.pgn in the settings folder, named by the local time play
// began. It is opened for appending only and every game goes out in one write as it ends, so
// a crash loses only the games that had not ended. A failure is kept, never shown here.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "rules/pgn.h"

namespace tavlora {

class GameArchive {
public:
    // Makes the folder Partien in settingsFolder and a new file in it named by start; when that
    // name is taken (another program began in the same second), "-2", "-3", ... are added.
    GameArchive(const std::string& settingsFolder, const std::tm& start);
    // Goes on with the file at path, begun by an earlier run of the same tournament that was
    // closed or crashed; games appended after those it holds.
    explicit GameArchive(const std::string& path);

    // Appends text in one write. A write that fails takes back whatever part of it reached
    // the file, so the games before stay whole. False when the text is not in the file.
    bool Append(std::string_view text);

    // The file, or where it was tried.
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }
    // Some game could not be written: the file could not be made, or a write failed.
    bool Failed() const { return failed_; }
    // The games with a result that a file gone on with held already.
    const std::vector<PgnPlayers>& SavedBefore() const { return savedBefore_; }

private:
    std::string folder_;
    std::string path_;
    AppendFile file_;  // all of its bytes whole games
    bool failed_ = false;
    std::vector<PgnPlayers> savedBefore_;
};

}  // namespace tavlora
