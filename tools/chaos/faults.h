// SPDX-License-Identifier: GPL-3.0-or-later
// The faults a chaos run injects, each by a participant of its own that misbehaves in one
// way, with what the server must make of it; and the bytes and the socket setting they use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chaos/agreement.h"
#include "net/framing.h"
#include "platform/system.h"

namespace tavlora {

enum class FaultKind {
    // Cut off: the connection ends, and its games become losses everywhere.
    Close,          // the program closes its connection in the middle of its games
    Reset,          // the connection is reset (RST) instead of closed
    BrokenLength,   // a frame whose length is 0, negative or above the limit
    MalformedBody,  // a known code whose body does not decode, names no participant, or
                    // carries a text longer than any program sends
    // Shrugged off: the participant plays on.
    UnknownCode,  // frames with codes no program knows
    LyingClock,   // moves that claim a million seconds left, or minus a million
    StaleMove,    // a program that hangs through its time and then moves with its old clocks
    Frozen,       // never moves again and never declares its own time-out
    Rename,       // names after its own: the host's, another's, an empty one, a new one
    ChatFlood,    // chat lines as long as the program sends them, hundreds at a time
    // Either: cut off once the server holds too much for it, or catching up.
    SlowReader,     // reads only ten times a second
    StalledReader,  // hangs and reads nothing until the end
    // The way back: its connection drops in the middle of its games, and it comes back.
    ReturnsInTime,  // within its grace time: it plays on with every game as the server has it
    ReturnsLate,    // after it: refused, and its games lost
};
constexpr int FaultKindCount = static_cast<int>(FaultKind::ReturnsLate) + 1;

// Whether the fault is one of the way back's, for which the participant announces it.
constexpr bool ComesBack(FaultKind kind) {
    return kind == FaultKind::ReturnsInTime || kind == FaultKind::ReturnsLate;
}

enum class FaultOutcome { Leaves, Stays, Either };

struct FaultInfo {
    const char* Name;
    FaultOutcome Outcome;
    ClockCheck Clocks;  // of the participant's own copy
};
const FaultInfo& Describe(FaultKind kind);

// Frames no program sends; variant picks one of several of each kind.
Frame BrokenLengthFrame(int variant);
Frame MalformedFrame(int variant, int32_t sender);
Frame UnknownCodeFrame(RandomSource& random);
// The name a renamer tries in its attempt number attempt.
std::string RenameAttempt(int attempt, const std::string& host, const std::string& other);
// A chat line as long as the program sends one.
const std::string& FloodLine();

// The socket's close resets the connection instead of ending it in order.
void ResetOnClose(int socket);

}  // namespace tavlora
