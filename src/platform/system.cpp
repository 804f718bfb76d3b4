// SPDX-License-Identifier: GPL-3.0-or-later
// The tick counter from CLOCK_MONOTONIC, the random sources and the host name.
#include "platform/system.h"

#include <limits.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace tavlora {

uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Truncating to 32 bits is the wrap-around the clocks expect.
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

RandomSource::RandomSource() : Engine_(std::random_device{}()) {}

int RandomSource::RandomBelow(int n) {
    if (n <= 1) {
        return 0;
    }
    // uniform_int_distribution rejects the biased tail, so every value has the same chance.
    return std::uniform_int_distribution<int>(0, n - 1)(Engine_);
}

bool SystemRandomBytes(std::span<uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = getrandom(bytes.data() + done, bytes.size() - done, 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<size_t>(count);
    }
    return true;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return "";
    }
    return name;
}

}  // namespace tavlora
