// SPDX-License-Identifier: GPL-3.0-or-later
#include "lan/scripted_services.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "shell/lobby.h"
#include "shell/settings_window.h"

namespace tavlora {

namespace {

// Commands are looked for this often, so the check costs the timed passes next to nothing.
constexpr auto CommandInterval = std::chrono::milliseconds(20);

int64_t ThreadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// The value below which the given share of the sorted values lie, in microseconds.
double Percentile(const std::vector<int64_t>& sorted, double share) {
    if (sorted.empty()) {
        return 0;
    }
    const auto index = static_cast<size_t>(share * static_cast<double>(sorted.size() - 1));
    return static_cast<double>(sorted[index]) / 1000.0;
}

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

Event ControlEvent(int control) {
    return Event{EventKind::Control, LobbyWindowId, control, -1};
}

}  // namespace

ScriptedServices::ScriptedServices(int& argc, char** argv, ScriptRole role)
    : QtWindowServices(argc, argv), role_(role) {
    fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
}

Event ScriptedServices::WaitEvent(int timeoutMs) {
    const Clock::time_point entered = Clock::now();
    if (timing_ && waitEnded_) {
        passes_.push_back((entered - *waitEnded_).count());
        cpuPasses_.push_back(ThreadCpuNanoseconds() - cpuWaitEnded_);
    }
    if (entered >= nextRead_) {
        nextRead_ = entered + CommandInterval;
        ReadCommands();
    }
    const std::optional<Event> action = NextAction();
    const Event event = action ? *action : QtWindowServices::WaitEvent(timeoutMs);
    waitEnded_ = Clock::now();
    if (timing_) {
        cpuWaitEnded_ = ThreadCpuNanoseconds();
    }
    return event;
}

int ScriptedServices::OpenWindow(const WindowSpec& spec) {
    const int window = QtWindowServices::OpenWindow(spec);
    // The lobby takes the settings window's place; a program that resumes its tournament
    // opens it without the settings window.
    if (spec.Id == LobbyWindowId && spec.Title == "Tavlora - Lobby") {
        lobbyOpen_ = true;
        Say("lobby");
    } else if (spec.Id == SettingsWindowId && !settingsOpen_) {
        // The settings file has chosen the tab; the user presses its start button.
        settingsOpen_ = true;
        action_ = Event{EventKind::Control, SettingsWindowId,
                        role_ == ScriptRole::Server ? SettingsControls::StartServerButton
                                                    : SettingsControls::ConnectButton,
                        -1};
    }
    return window;
}

int ScriptedServices::CreateControl(const ControlSpec& spec) {
    const int control = QtWindowServices::CreateControl(spec);
    if (spec.Window == LobbyWindowId && spec.Text == "Tabelle") {
        standingsButton_ = control;
    } else if (spec.Window == LobbyWindowId && spec.Text == ReconnectingText) {
        reconnectLine_ = control;
        Say("reconnecting");
    }
    return control;
}

void ScriptedServices::DestroyControl(int control) {
    // The start removes the start button or the ready button.
    const bool started = lobbyOpen_ && (control == LobbyControls::StartGamesButton ||
                                        control == LobbyControls::ReadyButton);
    QtWindowServices::DestroyControl(control);
    if (started) {
        Say("started");
    }
    if (control == reconnectLine_) {
        reconnectLine_ = -1;
        Say("back");
    }
}

void ScriptedServices::WatchSocket(int fd) {
    sockets_.push_back(fd);
    QtWindowServices::WatchSocket(fd);
}

void ScriptedServices::UnwatchSocket(int fd) {
    std::erase(sockets_, fd);
    QtWindowServices::UnwatchSocket(fd);
}

void ScriptedServices::MessageBox(const std::string& title, const std::string& text) {
    std::string line = "error " + title + ": " + text;
    std::ranges::replace(line, '\n', ' ');
    Say(line);
}

bool ScriptedServices::AskYesNo(const std::string&, const std::string&) {
    Say("asked");
    return true;
}

void ScriptedServices::ReadCommands() {
    char chunk[256];
    for (;;) {
        const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
        if (count == 0) {
            Execute("quit");  // the driver has gone
            return;
        }
        if (count < 0) {
            return;
        }
        input_.append(chunk, static_cast<size_t>(count));
        for (size_t end = input_.find('\n'); end != std::string::npos; end = input_.find('\n')) {
            const std::string command = input_.substr(0, end);
            input_.erase(0, end + 1);
            Execute(command);
        }
    }
}

void ScriptedServices::Execute(const std::string& command) {
    if (command == "start") {
        startPending_ = true;
    } else if (command == "ready" && lobbyOpen_) {
        SetState(LobbyControls::ReadyButton, 1);
        action_ = ControlEvent(LobbyControls::ReadyButton);
    } else if (command == "showall" && lobbyOpen_) {
        // The list reads the box in every pass; ticking raises nothing the program handles.
        SetState(LobbyControls::ShowAllGamesBox, 1);
    } else if (command == "table" && standingsButton_ >= 0) {
        action_ = ControlEvent(standingsButton_);
    } else if (command == "drop") {
        for (const int socket : sockets_) {
            shutdown(socket, SHUT_RDWR);
        }
    } else if (command == "time") {
        timing_ = true;
        passes_.clear();
        cpuPasses_.clear();
        waitEnded_.reset();
    } else if (command == "report") {
        ReportPasses();
    } else if (command == "quit") {
        action_ = Event{EventKind::Close, LobbyWindowId, -1, -1};
    }
}

std::optional<Event> ScriptedServices::NextAction() {
    if (startPending_ && !action_) {
        const QWidget* button = ControlWidget(LobbyControls::StartGamesButton);
        if (lobbyOpen_ && button != nullptr && button->isEnabled()) {
            startPending_ = false;
            action_ = ControlEvent(LobbyControls::StartGamesButton);
        }
    }
    std::optional<Event> action = action_;
    action_.reset();
    return action;
}

void ScriptedServices::ReportPasses() {
    std::ranges::sort(passes_);
    std::ranges::sort(cpuPasses_);
    char line[160];
    std::snprintf(line, sizeof line, "passes %zu %.1f %.1f %.1f %.1f %.1f", passes_.size(),
                  Percentile(passes_, 0.5), Percentile(passes_, 0.99), Percentile(passes_, 1.0),
                  Percentile(cpuPasses_, 0.5), Percentile(cpuPasses_, 0.99));
    Say(line);
    passes_.clear();
    cpuPasses_.clear();
}

}  // namespace tavlora
