// SPDX-License-Identifier: GPL-3.0-or-later
// A program the benchmark driver starts and talks to: commands go to its stdin, its stdout is
// read line by line without blocking, its stderr goes to a log file, and /proc tells its CPU
// time and resident memory.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tavlora {

struct ChildSpec {
    std::string Path;
    std::vector<std::string> Args;  // after the program's name
    // NAME=VALUE entries set on top of the driver's environment; NAME= alone removes NAME.
    std::vector<std::string> Environment;
    std::string WorkDir;
    std::string LogPath;  // stderr
};

class ChildProcess {
public:
    ChildProcess() = default;
    // Kills the program if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False with the reason when the program cannot be started.
    bool Start(const ChildSpec& spec, std::string& error);
    void Send(const std::string& line);
    // The next whole line the program has written, if one has arrived.
    std::optional<std::string> TakeLine();
    bool Running();
    // Waits for the program to end by itself, then kills it.
    void Stop(std::chrono::milliseconds grace);
    // Ends the program at once with SIGKILL, as a crash would; it may be started again.
    void Kill();

    pid_t Pid() const { return pid_; }
    // User and system time so far, in seconds.
    double CpuSeconds() const;
    // Resident memory now, in MiB.
    double ResidentMiB() const;

private:
    pid_t pid_ = -1;
    int input_ = -1;   // its stdin
    int output_ = -1;  // its stdout
    std::string pending_;
};

}  // namespace tavlora
