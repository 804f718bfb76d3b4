// SPDX-License-Identifier: GPL-3.0-or-later
// The message catalogue: the byte examples of the protocol, round trips of every message,
// the sizes of the edge cases, signed byte fields, and bodies that must not decode.
#include "net/protocol.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "net/game_catch_up.h"
#include "net/hex_bytes.h"
#include "net/sample_messages.h"

namespace tavlora {
namespace {

TEST(ProtocolTest, ReadyExample) {
    const Message ready = MsgReady{2, 1};
    EXPECT_EQ(*EncodeFrame(ready), Hex({0x03, 0x00, 0x00, 0x00, 0x06, 0x02, 0x01}));
}

TEST(ProtocolTest, NameExample) {
    const Message name = MsgName{1, "Anna"};
    EXPECT_EQ(*EncodeFrame(name),
              Hex({0x07, 0x00, 0x00, 0x00, 0x04, 0x01, 0x41, 0x6E, 0x6E, 0x61, 0x00}));
}

TEST(ProtocolTest, WelcomeExample) {
    const Message welcome = MsgWelcome{8, 3, 10, 0, {{"Max", 1}, {"Eva", 0}}};
    const Bytes expected =
        Hex({0x15, 0x00, 0x00, 0x00, 0x03, 0x08, 0x03, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00,
             0x00, 0x00, 0x4D, 0x61, 0x78, 0x00, 0x01, 0x45, 0x76, 0x61, 0x00, 0x00});
    EXPECT_EQ(*EncodeFrame(welcome), expected);
    EXPECT_EQ(DecodeBody(std::span(expected).subspan(4)), welcome);
}

TEST(ProtocolTest, MoveExample) {
    const Message move = MsgMove{1, {1, 0}, 600, 0, Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn}};
    const Bytes expected = Hex({0x28, 0x00, 0x00, 0x00, 0x09, 0x01, 0x01, 0x00, 0x58, 0x02, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00,
                                0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x06, 0x00, 0x00, 0x00});
    EXPECT_EQ(*EncodeFrame(move), expected);
    EXPECT_EQ(DecodeBody(std::span(expected).subspan(4)), move);
}

// The examples of docs/WAY_BACK.md, byte for byte; the digest is the same on every program.
TEST(ProtocolTest, WayBackExamples) {
    const ReturnSecret secret = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const std::vector<Move> e4 = {Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn}};
    const int32_t digest = HistoryDigest(e4);
    EXPECT_EQ(static_cast<uint32_t>(digest), 0xE9299234u);
    struct Case {
        Message Sent;
        Bytes Frame;
    };
    const Case cases[] = {
        {MsgCanReturn{}, Hex({0x06, 0, 0, 0, 0x0E, 0x54, 0x56, 0x4C, 0x52, 0x01})},
        {MsgReturn{.Index = 2, .Secret = secret, .Held = {{{0, 2}, 1, digest}}},
         Hex({0x25, 0,    0,    0,    0x10, 0x54, 0x56, 0x4C, 0x52, 0x01, 0x02, 0x00, 0x11, 0x22,
              0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01,
              0,    0,    0,    0x00, 0x02, 0x01, 0,    0,    0,    0x34, 0x92, 0x29, 0xE9})},
        {MsgWelcomeBack{8, 3, 10, 0, 2, 120, {0, 1, 0}, {{"Max", 0}, {"Eva", 2}, {"Udo", 0}}},
         Hex({0x22, 0,    0,    0,    0x12, 0x08, 0x03, 0x0A, 0,    0,    0,    0,    0,
              0,    0,    0x02, 0x78, 0,    0,    0,    0x00, 0x01, 0x00, 0x4D, 0x61, 0x78,
              0x00, 0x00, 0x45, 0x76, 0x61, 0x00, 0x02, 0x55, 0x64, 0x6F, 0x00, 0x00})},
        {MsgAway{2}, Hex({0x02, 0, 0, 0, 0x14, 0x02})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Sent.index());
        EXPECT_EQ(*EncodeFrame(c.Sent), c.Frame);
        EXPECT_EQ(DecodeBody(std::span(c.Frame).subspan(4)), c.Sent);
    }
}

TEST(ProtocolTest, EveryMessageRoundTripsAndStartsWithItsCode) {
    const std::vector<Message> messages = SampleMessages();
    ASSERT_EQ(messages.size(), std::variant_size_v<Message>);
    for (const Message& message : messages) {
        const Bytes body = EncodeBody(message);
        SCOPED_TRACE(message.index());
        ASSERT_FALSE(body.empty());
        EXPECT_EQ(body[0], message.index());
        EXPECT_EQ(DecodeBody(body), message);
    }
}

// The body size N of each edge case the protocol names.
TEST(ProtocolTest, BodySizes) {
    const std::string server = "Maximilian";
    struct Case {
        const char* What;
        Message Sent;
        size_t N;
    };
    const Case cases[] = {
        {"first welcome", MsgWelcome{8, 2, 0, 0, {{server, 1}}}, 11 + server.size() + 2},
        {"start with 2", MsgStartGames{2, {1}}, 3},
        {"start with 127", MsgStartGames{127, std::vector<int32_t>(127 * 126 / 2, 1)}, 8003},
        {"move", MsgMove{0, {0, 1}, 0, 0, Move{}}, 40},
        {"timeout", MsgTimeout{0, {0, 1}, 0, 0}, 12},
        {"draw offer", MsgDrawOffer{0, {0, 1}}, 4},
        {"draw accept", MsgDrawAccept{0, {0, 1}}, 4},
        {"resign", MsgResign{0, {0, 1}}, 4},
        {"empty chat", MsgChat{1, ""}, 3},
        {"refused", MsgRefusedFull{}, 1},
        {"player left", MsgPlayerLeft{1, 2}, 3},
        {"name", MsgName{1, "Anna"}, 4 + 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const Frame frame = EncodeFrame(c.Sent);
        ASSERT_EQ(frame->size(), 4 + c.N);
        EXPECT_EQ(ReadInt32(frame->data()), static_cast<int32_t>(c.N));
    }
}

TEST(ProtocolTest, UmlautTravelsAsOneLatin1Byte) {
    const Bytes body = EncodeBody(MsgName{1, "Jä"});
    EXPECT_EQ(body, Hex({0x04, 0x01, 0x4A, 0xE4, 0x00}));
    EXPECT_EQ(std::get<MsgName>(*DecodeBody(body)).PlayerName, "Jä");
}

TEST(ProtocolTest, TextThatLatin1CannotCarryIsVisiblyReplaced) {
    // Outside Latin-1, and a zero byte, which would end the text early on the wire.
    const Bytes body = EncodeBody(MsgChat{0, std::string("a€b\0c", 7)});
    EXPECT_EQ(body, Hex({0x08, 0x00, 'a', '?', 'b', '?', 'c', 0x00}));
}

TEST(ProtocolTest, OverlongTextIsCutSoEveryWelcomeFits) {
    const Bytes chat = EncodeBody(MsgChat{0, std::string(20000, 'x')});
    EXPECT_EQ(chat.size(), 8000u + 3);

    MsgWelcome full{127, 127, 0, 0, {}};
    full.Players.assign(126, WelcomeEntry{std::string(20000, 'n'), 1});
    const Frame frame = EncodeFrame(full);
    EXPECT_LE(frame->size() - 4, static_cast<size_t>(MaxBodyLength));
    ASSERT_TRUE(DecodeBody(std::span(*frame).subspan(4)).has_value());
}

TEST(ProtocolTest, ByteFieldsComeBackSigned) {
    const auto ready = DecodeBody(Hex({0x06, 0xFF, 0x80}));
    ASSERT_TRUE(ready.has_value());
    EXPECT_EQ(std::get<MsgReady>(*ready).Index, -1);
    EXPECT_EQ(std::get<MsgReady>(*ready).PlayerReady, -128);

    // Only the low 8 bits of a byte field travel.
    const auto left = DecodeBody(EncodeBody(MsgPlayerLeft{200, 127}));
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ(std::get<MsgPlayerLeft>(*left).Index, -56);
    EXPECT_EQ(std::get<MsgPlayerLeft>(*left).PlayerCount, 127);
}

TEST(ProtocolTest, EveryShortenedOrLengthenedBodyIsRejected) {
    for (const Message& message : SampleMessages()) {
        SCOPED_TRACE(message.index());
        Bytes body = EncodeBody(message);
        for (size_t length = 0; length < body.size(); ++length) {
            EXPECT_FALSE(DecodeBody(std::span(body).first(length)).has_value()) << length;
        }
        body.push_back(0);
        EXPECT_FALSE(DecodeBody(body).has_value());
    }
}

TEST(ProtocolTest, MalformedBodiesAreRejected) {
    struct Case {
        const char* What;
        Bytes Body;
    };
    const Case cases[] = {
        {"unknown code", Hex({0x7E})},
        {"code read as negative", Hex({0xF0, 0x00, 0x00})},
        {"name without zero byte", Hex({0x04, 0x01, 'A', 'n', 'n', 'a'})},
        {"chat without zero byte", Hex({0x08, 0x01})},
        {"welcome listing no one", Hex({0x03, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"welcome listing -1", Hex({0x03, 0x08, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"welcome name without zero", Hex({0x03, 0x08, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 'M', 1})},
        {"start with -2 players", Hex({0x07, 0xFE, 0x00, 0x00, 0x00})},
        {"start missing colours", Hex({0x07, 0x03, 0x00, 0x01})},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(DecodeBody(c.Body).has_value()) << c.What;
    }
    // A list of any length whose count the body cannot back, or a negative one.
    for (const Message& empty :
         {Message(MsgReturn{.Index = 1, .Secret = {}}), Message(MsgGameState{})}) {
        for (const int32_t count : {INT32_MAX, 1, -1}) {
            Bytes body = EncodeBody(empty);
            body.erase(body.end() - 4, body.end());  // the empty list's count, written anew
            AppendInt32(body, count);
            EXPECT_FALSE(DecodeBody(body).has_value()) << empty.index() << " " << count;
        }
    }
}

TEST(ProtocolTest, CountsAreStructureOnlyNotRanges) {
    // A welcome for a first participant, and a start with a single participant, are odd but
    // well-formed: ranges are for the receiver's own table to judge.
    EXPECT_TRUE(DecodeBody(Hex({0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0})).has_value());
    EXPECT_TRUE(DecodeBody(Hex({0x07, 0x01})).has_value());
    EXPECT_TRUE(DecodeBody(Hex({0x05, 0x7F, 0x00})).has_value());
}

}  // namespace
}  // namespace tavlora
