// SPDX-License-Identifier: GPL-3.0-or-later
// Framing without sockets: messages gathered from pieces of any size, taken one at a time
// and in order, and lengths that make the stream untrustworthy.
#include "net/framing.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavlora {
namespace {

Bytes LengthOnly(int32_t length) {
    Bytes bytes;
    AppendInt32(bytes, length);
    return bytes;
}

TEST(FramingTest, MakeFramePutsTheLengthFirst) {
    const Bytes body = {8, 1, 0};
    EXPECT_EQ(*MakeFrame(body), (Bytes{3, 0, 0, 0, 8, 1, 0}));
}

TEST(FramingTest, MessageArrivingOneByteAtATime) {
    const Frame frame = MakeFrame(Bytes{6, 2, 1});
    ReceiveBuffer buffer;
    for (size_t i = 0; i + 1 < frame->size(); ++i) {
        buffer.Append(std::span(*frame).subspan(i, 1));
        EXPECT_EQ(buffer.Status(), FrameStatus::Incomplete) << i;
    }
    buffer.Append(std::span(*frame).last(1));
    ASSERT_EQ(buffer.Status(), FrameStatus::Complete);
    EXPECT_EQ(buffer.TakeBody(), (Bytes{6, 2, 1}));
    EXPECT_EQ(buffer.Status(), FrameStatus::Incomplete);
    EXPECT_EQ(buffer.Size(), 0u);
}

TEST(FramingTest, ManyMessagesInOnePieceComeOutInOrder) {
    Bytes stream;
    for (uint8_t i = 1; i <= 50; ++i) {
        const Frame frame = MakeFrame(Bytes(i, i));
        stream.insert(stream.end(), frame->begin(), frame->end());
    }
    // And the start of one more, which must stay behind.
    stream.insert(stream.end(), {9, 0, 0, 0, 9});
    ReceiveBuffer buffer;
    buffer.Append(std::span(stream).first(stream.size() / 2));
    uint8_t next = 1;
    auto takeAll = [&] {
        while (buffer.Status() == FrameStatus::Complete) {
            EXPECT_EQ(buffer.TakeBody(), Bytes(next, next));
            ++next;
        }
    };
    takeAll();
    buffer.Append(std::span(stream).subspan(stream.size() / 2));
    takeAll();
    EXPECT_EQ(next, 51);
    EXPECT_EQ(buffer.Status(), FrameStatus::Incomplete);
    EXPECT_EQ(buffer.Size(), 5u);
}

TEST(FramingTest, LengthsOutsideTheLimitBreakTheStream) {
    for (int32_t length : {0, -1, INT32_MIN, MaxBodyLength + 1, INT32_MAX}) {
        ReceiveBuffer buffer;
        buffer.Append(LengthOnly(length));
        EXPECT_EQ(buffer.Status(), FrameStatus::Broken) << length;
    }
    ReceiveBuffer largest;
    largest.Append(LengthOnly(MaxBodyLength));
    EXPECT_EQ(largest.Status(), FrameStatus::Incomplete);
    largest.Append(Bytes(MaxBodyLength, 8));
    EXPECT_EQ(largest.Status(), FrameStatus::Complete);
}

}  // namespace
}  // namespace tavlora
