// SPDX-License-Identifier: GPL-3.0-or-later
// tavlora-chaos: a chaos run in one process (see chaos_run.h), short by default, long with
// --long: 127 participants for several minutes. Prints what was injected and what held;
// exits 0 when everything held.
#include <cstdio>
#include <string_view>

#include "bot/parse_number.h"
#include "chaos/chaos_run.h"
#include "net/protocol.h"

namespace {

using namespace tavlora;

int Usage() {
    std::fputs(
        "usage: tavlora-chaos [options]\n"
        "  --long                127 participants, 3 per fault, 30 phases of 3000 moves at\n"
        "                        500 actions/s, floods of 600 lines\n"
        "  --participants N      the host included, up to 127 (24)\n"
        "  --rogues N            participants per fault kind (1)\n"
        "  --phases N            phases of play, 5 or more (6)\n"
        "  --moves N             moves per phase over all bots (150)\n"
        "  --rate R              actions per second over all bots (300)\n"
        "  --step S              seconds the server's clock steps between phases (31)\n"
        "  --time-by-player M    game clock in minutes (10)\n"
        "  --time-by-move M      move clock in minutes (1)\n"
        "  --flood N             chat lines of 8,000 characters (1200)\n"
        "  --wait S              longest wait for any one step before giving up (180)\n",
        stderr);
    return 2;
}

bool Parse(int argc, char** argv, ChaosOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--long") {
            options.Participants = MostParticipants;
            options.RoguesPerKind = 3;
            options.Phases = 30;
            options.MovesPerPhase = 3000;
            options.Rate = 500;
            options.FloodLines = 600;  // from each of three: enough to cut a stalled reader
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const std::string_view value = argv[++i];
        uint32_t seconds = 0;
        bool ok = false;
        if (option == "--participants") {
            ok = ParseNumber(value, options.Participants);
        } else if (option == "--rogues") {
            ok = ParseNumber(value, options.RoguesPerKind);
        } else if (option == "--phases") {
            ok = ParseNumber(value, options.Phases);
        } else if (option == "--moves") {
            ok = ParseNumber(value, options.MovesPerPhase) && options.MovesPerPhase > 0;
        } else if (option == "--rate") {
            ok = ParseNumber(value, options.Rate) && options.Rate > 0;
        } else if (option == "--step") {
            ok = ParseNumber(value, seconds) && seconds > 0 && seconds < 3600;
            options.StepMs = seconds * 1000;
        } else if (option == "--time-by-player") {
            ok = ParseNumber(value, options.TimeByPlayer) && options.TimeByPlayer >= 0;
        } else if (option == "--time-by-move") {
            ok = ParseNumber(value, options.TimeByMove) && options.TimeByMove >= 0;
        } else if (option == "--wait") {
            ok = ParseNumber(value, seconds) && seconds > 0;
            options.WaitLimit = std::chrono::seconds(seconds);
        } else if (option == "--flood") {
            ok = ParseNumber(value, options.FloodLines) && options.FloodLines >= 0;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ChaosOptions options;
    if (!Parse(argc, argv, options)) {
        return Usage();
    }
    const ChaosReport report = RunChaos(options);
    PrintReport(report, stdout);
    return report.Held() ? 0 : 1;
}
