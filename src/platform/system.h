// SPDX-License-Identifier: GPL-3.0-or-later
// What the program asks of the operating system besides windows and sockets: the
// millisecond tick counter, a uniform random source, random bytes for secrets and the
// computer's host name.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>

namespace tavlora {

// Milliseconds of a monotonic clock, 32 bits, wrapping after about 49.7 days; take
// differences modulo 2^32 (as uint32_t subtraction does).
uint32_t TickCount();

// Uniform draws, seeded from the system's entropy source. One object per user of it, so
// tests can run several programs in one process without sharing a generator.
class RandomSource {
public:
    RandomSource();
    // A value in 0 .. n-1, each with equal chance; 0 when n is 1 or less.
    int RandomBelow(int n);

private:
    std::mt19937 Engine_;
};

// Fills bytes from the operating system's random source, for secrets; false when it fails.
bool SystemRandomBytes(std::span<uint8_t> bytes);

// The computer's host name; empty when the system cannot say.
std::string HostName();

}  // namespace tavlora
