// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/latin1.h"

#include <cstdint>

namespace tavlora {

namespace {

constexpr char32_t Broken = 0xFFFFFFFF;

// The code point that starts at utf8[pos], advancing pos past it; Broken (advancing one
// byte) for a malformed, overlong or surrogate sequence. Overlong forms must not pass: C0 80
// would otherwise smuggle a zero byte into a wire text.
char32_t NextCodePoint(std::string_view utf8, size_t& pos) {
    const auto lead = static_cast<uint8_t>(utf8[pos]);
    size_t length = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        ++pos;
        return Broken;
    }
    if (utf8.size() - pos < length) {
        ++pos;
        return Broken;
    }
    char32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(utf8[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return Broken;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++pos;
        return Broken;
    }
    pos += length;
    return code;
}

bool CarriedInLatin1(char32_t code) {
    return code >= 0x01 && code <= 0xFF;
}

}  // namespace

bool FitsLatin1(std::string_view utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        if (!CarriedInLatin1(NextCodePoint(utf8, pos))) {
            return false;
        }
    }
    return true;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const char32_t code = NextCodePoint(utf8, pos);
        latin1.push_back(CarriedInLatin1(code) ? static_cast<char>(code) : '?');
    }
    return latin1;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

}  // namespace tavlora
