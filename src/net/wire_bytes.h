// SPDX-License-Identifier: GPL-3.0-or-later
// Byte buffers and the wire's one integer encoding: 32-bit two's complement, little-endian,
// whatever the machine's own byte order.
#pragma once

#include <cstdint>
#include <vector>

namespace tavlora {

using Bytes = std::vector<uint8_t>;

inline void AppendInt32(Bytes& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(bits >> shift));
    }
}

// Reads the four bytes at p; the caller has checked that they are there.
inline int32_t ReadInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace tavlora
