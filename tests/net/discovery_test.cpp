// SPDX-License-Identifier: GPL-3.0-or-later
// The datagrams that find lobbies: the byte layout of docs/DISCOVERY.md, round trips, names
// cut and carried as Latin-1, and every way a datagram can fail to be one: truncated, padded,
// another magic, version or kind, fields out of range, a name with a zero byte.
#include "net/discovery.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "net/hex_bytes.h"

namespace tavlora {
namespace {

LobbyAnswer Sam() {
    return LobbyAnswer{0x01020304, "Sam", 3, 8, 10, 1};
}

TEST(DiscoveryTest, QueryExample) {
    const Bytes expected = Hex({'T', 'V', 'L', 'R', 0x01, 0x01, 0x04, 0x03, 0x02, 0x01});
    EXPECT_EQ(EncodeQuery(LobbyQuery{0x01020304}), expected);
    EXPECT_EQ(DecodeQuery(expected), LobbyQuery{0x01020304});
}

TEST(DiscoveryTest, AnswerExample) {
    const Bytes expected =
        Hex({'T',  'V',  'L',  'R',  0x01, 0x02, 0x04, 0x03, 0x02, 0x01, 0x03, 0x08,
             0x0A, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 'S',  'a',  'm'});
    EXPECT_EQ(EncodeAnswer(Sam()), expected);
    EXPECT_EQ(DecodeAnswer(expected), Sam());
}

TEST(DiscoveryTest, RoundTripsAtTheEdgesOfEveryRange) {
    for (uint32_t token : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(DecodeQuery(EncodeQuery({token})), LobbyQuery{token});
    }
    const int32_t mostMinutes = INT32_MAX / 60;
    const std::vector<LobbyAnswer> answers = {
        {0, "A", 1, 2, 0, 0},
        {0xFFFFFFFF, std::string(MaxAnswerNameLength, 'x'), 127, 127, mostMinutes, mostMinutes},
        {7, "Jürgen Größe", 2, 2, 0, 5},
        {8, "ÿ", 1, 127, 90, 0},
    };
    for (const LobbyAnswer& answer : answers) {
        SCOPED_TRACE(answer.HostName);
        const Bytes datagram = EncodeAnswer(answer);
        EXPECT_LE(datagram.size(), MaxDiscoveryDatagram);
        EXPECT_EQ(DecodeAnswer(datagram), answer);
    }
}

TEST(DiscoveryTest, NamesTravelAsLatin1AndLongOnesAreCut) {
    const Bytes umlaut = EncodeAnswer({1, "Jörg", 1, 2, 0, 0});
    EXPECT_EQ(umlaut.size(), 21u + 4u);
    EXPECT_EQ(umlaut[20], 4);
    EXPECT_EQ(umlaut[22], 0xF6) << "ö is one byte";

    const std::string long_name = std::string(MaxAnswerNameLength, 'a') + "bcdef";
    const Bytes cut = EncodeAnswer({1, long_name, 1, 2, 0, 0});
    EXPECT_EQ(cut.size(), MaxDiscoveryDatagram);
    EXPECT_EQ(DecodeAnswer(cut)->HostName, std::string(MaxAnswerNameLength, 'a'));

    // What Latin-1 cannot carry shows as '?', never as a lost or broken character.
    EXPECT_EQ(DecodeAnswer(EncodeAnswer({1, "Zoë ♞", 1, 2, 0, 0}))->HostName, "Zoë ?");
}

TEST(DiscoveryTest, NegativeLimitsMeanNoneAndTravelAsZero) {
    const std::optional<LobbyAnswer> answer = DecodeAnswer(EncodeAnswer({1, "Sam", 1, 2, -5, -1}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->TimeByPlayer, 0);
    EXPECT_EQ(answer->TimeByMove, 0);
}

TEST(DiscoveryTest, EveryTruncationAndEveryPaddingIsRefused) {
    const Bytes query = EncodeQuery({42});
    const Bytes answer = EncodeAnswer(Sam());
    for (size_t length = 0; length < query.size(); ++length) {
        EXPECT_FALSE(DecodeQuery(std::span(query).first(length))) << length;
    }
    for (size_t length = 0; length < answer.size(); ++length) {
        EXPECT_FALSE(DecodeAnswer(std::span(answer).first(length))) << length;
    }
    Bytes padded = query;
    padded.push_back(0);
    EXPECT_FALSE(DecodeQuery(padded));
    padded = answer;
    padded.push_back('x');
    EXPECT_FALSE(DecodeAnswer(padded)) << "the name's length must hold the rest exactly";
}

TEST(DiscoveryTest, AnotherMagicVersionOrKindIsRefused) {
    const Bytes query = EncodeQuery({42});
    const Bytes answer = EncodeAnswer(Sam());
    for (size_t at : {0, 1, 2, 3, 4, 5}) {
        Bytes changed = query;
        changed[at] ^= 0x20;
        EXPECT_FALSE(DecodeQuery(changed)) << at;
        changed = answer;
        changed[at] ^= 0x20;
        EXPECT_FALSE(DecodeAnswer(changed)) << at;
    }
    EXPECT_FALSE(DecodeAnswer(query)) << "a query is no answer";
    EXPECT_FALSE(DecodeQuery(std::span(answer).first(query.size()))) << "nor the reverse";
}

TEST(DiscoveryTest, FieldsOutOfRangeAreRefused) {
    auto with = [](size_t at, std::initializer_list<int> bytes) {
        Bytes datagram = EncodeAnswer(Sam());
        for (int b : bytes) {
            datagram[at++] = static_cast<uint8_t>(b);
        }
        return datagram;
    };
    EXPECT_FALSE(DecodeAnswer(with(10, {0}))) << "no participant";
    EXPECT_FALSE(DecodeAnswer(with(10, {9}))) << "more participants than places";
    EXPECT_FALSE(DecodeAnswer(with(11, {1}))) << "one place";
    EXPECT_FALSE(DecodeAnswer(with(10, {128, 128}))) << "128 places";
    EXPECT_FALSE(DecodeAnswer(with(12, {0xFF, 0xFF, 0xFF, 0xFF}))) << "a negative limit";
    EXPECT_FALSE(DecodeAnswer(with(16, {0x00, 0x00, 0x00, 0x80}))) << "a negative limit";
    EXPECT_FALSE(DecodeAnswer(with(12, {0x23, 0x22, 0x22, 0x02})))
        << "a limit whose seconds overflow the clocks";
    EXPECT_TRUE(DecodeAnswer(with(12, {0x22, 0x22, 0x22, 0x02}))) << "the longest limit";
    EXPECT_FALSE(DecodeAnswer(with(21, {'S', 0, 'm'}))) << "a zero byte in the name";

    Bytes empty = EncodeAnswer(Sam());
    empty.resize(21);
    empty[20] = 0;
    EXPECT_FALSE(DecodeAnswer(empty)) << "an empty name";
    Bytes longest = EncodeAnswer({1, std::string(MaxAnswerNameLength + 1, 'x'), 1, 2, 0, 0});
    longest[20] = static_cast<uint8_t>(MaxAnswerNameLength + 1);
    longest.push_back('x');
    EXPECT_FALSE(DecodeAnswer(longest)) << "a name beyond the longest";
}

// The byte-by-byte mutations a fuzzer starts with, so a plain test run covers them too: no
// mutation may crash, and whatever still decodes must encode back to its very bytes.
TEST(DiscoveryTest, EveryByteMutationDecodesToItselfOrNothing) {
    for (const Bytes& original : {EncodeQuery({0xCAFE}), EncodeAnswer(Sam())}) {
        for (size_t at = 0; at < original.size(); ++at) {
            for (int value = 0; value < 256; ++value) {
                Bytes changed = original;
                changed[at] = static_cast<uint8_t>(value);
                if (const std::optional<LobbyQuery> query = DecodeQuery(changed)) {
                    EXPECT_EQ(EncodeQuery(*query), changed);
                }
                if (const std::optional<LobbyAnswer> answer = DecodeAnswer(changed)) {
                    EXPECT_EQ(EncodeAnswer(*answer), changed);
                }
            }
        }
    }
}

}  // namespace
}  // namespace tavlora
