// SPDX-License-Identifier: GPL-3.0-or-later
// The files the program keeps (settings, saved games, the host's journal, the way back to a
// running tournament) are read, replaced and appended to through these few operations, so
// that each concern of durability is handled once: whole reads with a limit, replacement in
// one step, and appends that leave only whole records behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavlora {

// Reading
// The whole file: empty when it does not exist; none when it cannot be read, is no regular
// file (a pipe of that name must not block the program) or is larger than limit bytes.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit);

// Replacing
// Replaces the file by content in one step: the content goes to a new file in the same
// folder, is synced, and is renamed over the old one, so a program that dies half-way
// leaves the old file whole. With a mode the new file gets it. False when a step failed;
// everything is then as it was.
bool ReplaceFile(const std::string& path, std::string_view content,
                 std::optional<mode_t> mode = std::nullopt);

// Moving aside
// Gives the file the name to, which must be free: a file of that name is never replaced.
// False when to is taken or the file cannot be renamed.
bool RenameToFreeName(const std::string& from, const std::string& to);

// Appending
// A file written only at its end, one record per Append. A record that cannot be written
// whole is taken back, so the file always ends after a whole record.
class AppendFile {
public:
    enum class Mode {
        CreateNew,       // fails when the file exists
        CreateOrAppend,  // appends to what is there
    };

    AppendFile();
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens path for appending; permissions of a new file are mode (less the umask). False,
    // with errno kept, when it cannot be opened.
    bool Open(const std::string& path, Mode how, mode_t mode = 0666);
    bool IsOpen() const { return fd_ >= 0; }
    // Writes record in one go; the kernel has it once this returns, so a crash of the program
    // cannot lose it. False when it is not in the file: a failed write is cut off again, and
    // when even that fails the file is closed, so nothing is written after a torn record.
    bool Append(std::string_view record);
    // Brings what was appended to the disk, so that a power cut cannot lose it.
    bool Sync();
    // From now on a thread of its own brings what was appended to the disk every interval,
    // so that a power cut loses at most that much while the caller never waits for the disk.
    // It syncs once more when the file is closed. False when no thread could be started.
    bool SyncEvery(std::chrono::milliseconds interval);
    // Bytes in the file, every one of them part of a whole record.
    long long Size() const { return size_; }
    void Close();

private:
    struct BackgroundSync;

    int fd_ = -1;
    long long size_ = 0;
    std::unique_ptr<BackgroundSync> background_;
};

}  // namespace tavlora
