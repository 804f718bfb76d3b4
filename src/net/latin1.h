// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversion between the program's UTF-8 strings and the wire's Latin-1, one byte per
// character. A character that Latin-1 cannot carry never slips through silently: it becomes
// a visible '?'.
#pragma once

#include <string>
#include <string_view>

namespace tavlora {

// True when every character of utf8 is valid UTF-8 and travels as one non-zero Latin-1
// byte (U+0001 .. U+00FF).
bool FitsLatin1(std::string_view utf8);

// One byte per character; a character outside U+0001 .. U+00FF, and each byte of a broken
// UTF-8 sequence, becomes '?'. The result never contains a zero byte.
std::string Utf8ToLatin1(std::string_view utf8);

// Every byte is the character of the same number; always valid UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

}  // namespace tavlora
