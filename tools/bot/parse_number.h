// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the tools' command lines: the whole text is the number, or it is none.
#pragma once

#include <charconv>
#include <string_view>

namespace tavlora {

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace tavlora
