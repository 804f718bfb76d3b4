// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversion between UTF-8 and the wire's Latin-1: what fits, what is replaced, and
// that every Latin-1 byte survives the way there and back.
#include "net/latin1.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlora {
namespace {

TEST(Latin1Test, Conversions) {
    struct Case {
        const char* What;
        std::string Utf8;
        bool Fits;
        std::string Latin1;
    };
    const Case cases[] = {
        {"ascii", "Anna", true, "Anna"},
        {"empty", "", true, ""},
        {"umlauts", "äöüß", true, "\xE4\xF6\xFC\xDF"},
        {"top of Latin-1", "ÿ", true, "\xFF"},
        {"euro sign", "5 €", false, "5 ?"},
        {"four-byte character", "a😀b", false, "a?b"},
        {"zero byte", std::string("a\0b", 3), false, "a?b"},
        {"overlong zero", "\xC0\x80", false, "??"},
        {"overlong A", "\xE0\x81\x81", false, "???"},
        {"surrogate", "\xED\xA0\x80", false, "???"},
        {"lone continuation", "\x80x", false, "?x"},
        {"cut-off sequence", "x\xC3", false, "x?"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, "????"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(FitsLatin1(c.Utf8), c.Fits);
        EXPECT_EQ(Utf8ToLatin1(c.Utf8), c.Latin1);
    }
}

TEST(Latin1Test, EveryNonZeroByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = Latin1ToUtf8(all);
    EXPECT_TRUE(FitsLatin1(utf8));
    EXPECT_EQ(Utf8ToLatin1(utf8), all);
    EXPECT_EQ(Latin1ToUtf8("\xE4"), "ä");
}

}  // namespace
}  // namespace tavlora
