// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a chaos run as a table: what was injected, and what held.
#include <algorithm>
#include <string>

#include "chaos/chaos_run.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

const char* Expected(FaultOutcome outcome) {
    switch (outcome) {
        case FaultOutcome::Leaves:
            return "cut off";
        case FaultOutcome::Stays:
            return "plays on";
        case FaultOutcome::Either:
            return "either";
    }
    return "";
}

// What the injected count is, and what became of it.
std::string Detail(const FaultRow& row) {
    switch (row.Kind) {
        case FaultKind::UnknownCode:
            return "frames dropped; it played on";
        case FaultKind::LyingClock:
            return "moves claiming 1,000,000 s or -1,000,000 s";
        case FaultKind::StaleMove:
            return "moves with the clocks from before a hang: " + std::to_string(row.Taken) +
                   " taken, clocks cut; " + std::to_string(row.Injected - row.Taken) +
                   " dropped after the referee's time-out";
        case FaultKind::Frozen:
            return "games it let run out, each ended by the referee";
        case FaultKind::Rename:
            return "names ignored; its own kept";
        case FaultKind::ChatFlood:
            return "lines of 8,000 characters, passed on to every reader";
        case FaultKind::ReturnsInTime:
            return "dropped; back within the grace time, every game as the server has it";
        case FaultKind::ReturnsLate:
            return "dropped; left when the grace time ended, its return refused";
        case FaultKind::SlowReader:
        case FaultKind::StalledReader:
            return std::to_string(row.Left) + " cut off once 4 MiB piled up, " +
                   std::to_string(row.Participants - row.Left) + " caught up";
        default:
            return "cut off; its running games lost everywhere";
    }
}

}  // namespace

void PrintReport(const ChaosReport& report, std::FILE* out) {
    const ChaosOptions& o = report.Options;
    const int rogues = o.Participants - 1 - report.Honest;
    std::fprintf(out,
                 "Chaos run: %d participants (the host, %d honest bots, %d misbehaving), %d "
                 "games, clocks %d min per player and %d min per move\n",
                 o.Participants, report.Honest, rogues, report.Games, o.TimeByPlayer, o.TimeByMove);
    std::fprintf(out,
                 "%d phases of %d moves at %.0f actions/s; the server's clock stepped %.0f s "
                 "between phases, %u s in all; %.1f s of wall time\n\n",
                 o.Phases, o.MovesPerPhase, o.Rate, o.StepMs / 1000.0, report.VirtualSeconds,
                 report.Seconds);

    std::fprintf(out, "Lobby\n");
    std::fprintf(out, "  newcomers with the host's name or none, refused: %d of %d\n",
                 report.NamesRefused, report.NamesTried);
    std::fprintf(out, "  a connection that never names itself, let go after 10 s: %s\n\n",
                 report.UnnamedFreed ? "yes" : "NO");
    std::fprintf(out, "The host\n");
    std::fprintf(out,
                 "  killed and taken up again from its journal: %d time(s), %d participants "
                 "back by themselves\n\n",
                 report.HostRestarts, report.BackAfterRestart);

    std::fprintf(out, "%-24s %5s %9s %-9s %8s %5s  %s\n", "Fault injected", "bots", "injected",
                 "expected", "cut off", "held", "what became of it");
    for (const FaultRow& row : report.Faults) {
        const FaultInfo& info = Describe(row.Kind);
        std::fprintf(out, "%-24s %5d %9llu %-9s %8d %2d/%-2d  %s\n", info.Name, row.Participants,
                     static_cast<unsigned long long>(row.Injected), Expected(info.Outcome),
                     row.Left, row.Held, row.Participants, Detail(row).c_str());
    }

    std::fprintf(out, "\nWhat held\n");
    std::fprintf(out, "  copies of games compared with the server's: %d, on %d surviving bots\n",
                 report.Compared, report.Survivors);
    std::fprintf(out, "  mismatches (board, History, State, Result, clocks within %d s): %zu\n",
                 ClockAllowanceSeconds, report.Mismatches.size());
    std::fprintf(out, "  moves that crossed the end of their game, kept by their mover only: %d\n",
                 report.Crossings);
    std::fprintf(out,
                 "  server descriptors: %d after the start, %d at the end, %d needed (the "
                 "listening socket and %d connections)\n",
                 report.DescriptorsAtStart, report.DescriptorsAtEnd, report.DescriptorsExpected,
                 report.DescriptorsExpected - 1);
    std::fprintf(out,
                 "  moves: %llu sent by the bots, %llu in the server's games, %llu relays "
                 "received; %llu messages received in all\n",
                 static_cast<unsigned long long>(report.MovesSent),
                 static_cast<unsigned long long>(report.MovesOnServer),
                 static_cast<unsigned long long>(report.MovesReceived),
                 static_cast<unsigned long long>(report.Messages));
    std::fprintf(out,
                 "  games over: %d of %d; time-outs %d, of which %d declared by the referee "
                 "for frozen participants\n",
                 report.Finished, report.Games, report.TimeOuts, report.RefereeTimeOuts);
    const size_t shown = std::min<size_t>(report.Mismatches.size(), 20);
    for (size_t i = 0; i < shown; ++i) {
        std::fprintf(out, "  MISMATCH %s\n", report.Mismatches[i].c_str());
    }
    for (const std::string& problem : report.Problems) {
        std::fprintf(out, "  PROBLEM %s\n", problem.c_str());
    }
    std::fprintf(out, "%s\n", report.Held() ? "Everything held." : "Something did not hold.");
}

}  // namespace tavlora
