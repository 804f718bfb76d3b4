// SPDX-License-Identifier: GPL-3.0-or-later
// A chaos run: the program's own server on a thread of its own, many bots as participants, and
// among them some that misbehave, one fault each, while the games run. The server's clock
// stands still while the games are played and steps on between the phases of play (a minute
// passes at once, for the server and the bots alike), so time-outs come within seconds and no
// honest program ever runs out of time unfairly. At the end every surviving participant's copy
// of every game is compared with the server's, and the server's descriptors are counted.
// Before the last phase the host's program is killed and started again from its journal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "chaos/faults.h"

namespace tavlora {

struct ChaosOptions {
    int Participants = 24;  // the server's own user included; at most 127
    int RoguesPerKind = 1;  // participants per fault kind; the others play honestly
    int Phases = 6;         // of play, with the server's clock stepped on between them
    int MovesPerPhase = 150;
    double Rate = 300;                    // actions per second over all bots
    uint32_t StepMs = 31000;              // two steps bring a move clock of a minute past zero
    int32_t TimeByPlayer = 10;            // minutes
    int32_t TimeByMove = 1;               // minutes
    int FloodLines = 1200;                // chat lines of 8,000 characters
    double DrawOffer = 0.01;              // chance per turn that an honest bot offers a draw
    double Resign = 0.002;                // or resigns
    int32_t RejoinSeconds = 45;           // the host's grace time: between one step and two
    std::chrono::seconds WaitLimit{180};  // for any one step of the run; only a hang needs it
};

// One row of the report: a fault kind and what became of the participants that injected it.
struct FaultRow {
    FaultKind Kind;
    int Participants = 0;
    uint64_t Injected = 0;  // frames, moves, names, lines or games, as the kind goes
    uint64_t Taken = 0;     // stale moves the server took, within the allowance
    int Left = 0;           // cut off or gone
    int Held = 0;           // participants whose outcome is the expected one
};

struct ChaosReport {
    ChaosOptions Options;
    int Honest = 0;
    int Games = 0;
    double Seconds = 0;
    uint32_t VirtualSeconds = 0;  // the server's clock from the start to the end
    // The lobby
    int NamesRefused = 0;  // newcomers with a taken or an empty name, of NamesTried
    int NamesTried = 0;
    bool UnnamedFreed = false;  // a connection without a name was let go after 10 s
    // The faults
    std::vector<FaultRow> Faults;
    // What held
    int Compared = 0;
    int Crossings = 0;
    std::vector<std::string> Mismatches;
    int DescriptorsAtStart = 0;
    int DescriptorsAtEnd = 0;
    int DescriptorsExpected = 0;
    int Survivors = 0;
    uint64_t MovesSent = 0;      // by every bot
    uint64_t MovesReceived = 0;  // relays of others' moves, by every bot
    uint64_t MovesOnServer = 0;  // in the server's games
    uint64_t Messages = 0;       // that the bots received, chat included
    int Finished = 0;            // games over on the server
    int HostRestarts = 0;        // the host's program killed and taken up from its journal
    int BackAfterRestart = 0;    // participants back by themselves after it
    int TimeOuts = 0;
    int RefereeTimeOuts = 0;  // of participants that never declare their own
    std::vector<std::string> Problems;

    bool Held() const { return Problems.empty() && Mismatches.empty(); }
};

ChaosReport RunChaos(const ChaosOptions& options);

// What was injected and what held, as a table.
void PrintReport(const ChaosReport& report, std::FILE* out);

}  // namespace tavlora
