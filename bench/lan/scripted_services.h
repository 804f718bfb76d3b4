// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt window services with a scripted user in place of a person: the benchmark driver
// tells it on stdin which buttons to press, and it answers on stdout what the program has
// come to show, and how long the main-loop passes take between two event waits. Everything
// else is the program's own code on its own backend.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/qt_window_services.h"

namespace tavlora {

enum class ScriptRole { Server, Client };

// Commands, one per line on stdin:
//   start    press "Spiel starten" as soon as it is enabled (server)
//   ready    press "Bereit" (client)
//   showall  tick "Alle Spiele anzeigen"
//   table    press "Tabelle", which opens the standings (once the games have started)
//   drop     cut the program's connections from outside, as a network would (both ends see
//            them end): a client then takes the way back
//   time     start timing the passes afresh
//   report   answer "passes COUNT MEDIAN_US P99_US MAX_US CPU_MEDIAN_US CPU_P99_US" for the
//            passes since "time": wall-clock time, then the thread's CPU time, which a busy
//            machine does not stretch
//   quit     close the lobby window, which ends the program
// End of input counts as quit. Answers, one per line on stdout: "lobby" when the lobby has
// opened, "asked" when the program asks whether to continue its tournament (the user says "Ja"),
// "started" when the games have started, "reconnecting" and "back" when the lobby's line
// of the way back appears and goes, "error TEXT" for a message box.
class ScriptedServices final : public QtWindowServices {
public:
    ScriptedServices(int& argc, char** argv, ScriptRole role);

    Event WaitEvent(int timeoutMs) override;
    int OpenWindow(const WindowSpec& spec) override;
    int CreateControl(const ControlSpec& spec) override;
    void DestroyControl(int control) override;
    void WatchSocket(int fd) override;
    void UnwatchSocket(int fd) override;
    // Printed instead of shown: nobody would press OK.
    void MessageBox(const std::string& title, const std::string& text) override;
    // A tournament to continue after a crash: "Ja", and "asked" printed.
    bool AskYesNo(const std::string& title, const std::string& text) override;

private:
    using Clock = std::chrono::steady_clock;

    void ReadCommands();
    void Execute(const std::string& command);
    // The event the scripted user causes now, if any.
    std::optional<Event> NextAction();
    void ReportPasses();

    const ScriptRole role_;
    bool settingsOpen_ = false;
    bool lobbyOpen_ = false;
    bool startPending_ = false;
    std::optional<Event> action_;  // a click or close waiting to be handed out
    int standingsButton_ = -1;     // "Tabelle", once the games have started
    int reconnectLine_ = -1;       // the lobby's line of the way back while it is shown
    std::vector<int> sockets_;     // the program's open sockets
    std::string input_;            // stdin read so far, up to the next line end
    Clock::time_point nextRead_;
    bool timing_ = false;
    std::optional<Clock::time_point> waitEnded_;
    int64_t cpuWaitEnded_ = 0;
    // Nanoseconds from one wait's end to the next wait: wall-clock and CPU time.
    std::vector<int64_t> passes_;
    std::vector<int64_t> cpuPasses_;
};

}  // namespace tavlora
