// SPDX-License-Identifier: GPL-3.0-or-later
#include "lan/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace tavlora {

namespace {

// The driver's environment with the child's own changes, as NAME=VALUE strings.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos) {
            merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const std::string& change : changes) {
        const size_t equals = change.find('=');
        const std::string name = change.substr(0, equals);
        if (equals + 1 == change.size()) {
            merged.erase(name);
        } else {
            merged[name] = change.substr(equals + 1);
        }
    }
    std::vector<std::string> entries;
    for (const auto& [name, value] : merged) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::~ChildProcess() {
    Stop(std::chrono::milliseconds(0));
}

bool ChildProcess::Start(const ChildSpec& spec, std::string& error) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // Everything the child needs is prepared before the fork.
    std::vector<std::string> argv = {spec.Path};
    argv.insert(argv.end(), spec.Args.begin(), spec.Args.end());
    std::vector<std::string> env = MergedEnvironment(spec.Environment);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(env);
    const int log = open(spec.LogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

    pid_ = fork();
    if (pid_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (pid_ == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        if (log >= 0) {
            dup2(log, STDERR_FILENO);
        }
        if (chdir(spec.WorkDir.c_str()) == 0) {
            execve(spec.Path.c_str(), argvPointers.data(), envPointers.data());
        }
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (log >= 0) {
        close(log);
    }
    input_ = toChild[1];
    output_ = fromChild[0];
    fcntl(output_, F_SETFL, fcntl(output_, F_GETFL) | O_NONBLOCK);
    return true;
}

void ChildProcess::Send(const std::string& line) {
    if (input_ < 0) {
        return;
    }
    const std::string text = line + "\n";
    // A few bytes into an empty pipe: the write does not block.
    if (write(input_, text.data(), text.size()) < 0) {
        close(input_);
        input_ = -1;
    }
}

std::optional<std::string> ChildProcess::TakeLine() {
    char chunk[4096];
    ssize_t count = 0;
    while (output_ >= 0 && (count = read(output_, chunk, sizeof chunk)) > 0) {
        pending_.append(chunk, static_cast<size_t>(count));
    }
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    return line;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Kill();
}

void ChildProcess::Kill() {
    if (Running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    for (int* fd : {&input_, &output_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    pending_.clear();
}

double ChildProcess::CpuSeconds() const {
    std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The name in parentheses may hold blanks; the fields after it are plain numbers:
    // state is field 3, utime field 14 and stime field 15.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field) {
        fields >> skip;
    }
    unsigned long long user = 0;
    unsigned long long system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double ChildProcess::ResidentMiB() const {
    std::ifstream file("/proc/" + std::to_string(pid_) + "/status");
    std::string name;
    while (file >> name) {
        if (name == "VmRSS:") {
            double kib = 0;
            file >> kib;
            return kib / 1024.0;
        }
        file.ignore(1 << 16, '\n');
    }
    return 0;
}

}  // namespace tavlora
