// SPDX-License-Identifier: GPL-3.0-or-later
// Byte strings written as numbers, for the tests that compare wire layouts byte for byte.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "net/wire_bytes.h"

namespace tavlora {

inline Bytes Hex(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) {
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

}  // namespace tavlora
