// SPDX-License-Identifier: GPL-3.0-or-later
// The UDP layer over 127.0.0.1 (unicast only: no test broadcasts in the machine's own
// network): sends and receives with the sender's address, cut-off datagrams, an empty socket,
// ports shared with SO_REUSEADDR; and the IPv4 interfaces, where loopback is always found.
#include "platform/datagrams.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <array>

#include "platform/sockets.h"

namespace tavlora {
namespace {

bool WaitReadable(int socket) {
    pollfd entry{socket, POLLIN, 0};
    return poll(&entry, 1, 2000) == 1;
}

TEST(DatagramsTest, DottedAddresses) {
    EXPECT_EQ(DottedAddress(LoopbackAddress), "127.0.0.1");
    EXPECT_EQ(DottedAddress(0xC0A801C8), "192.168.1.200");
    EXPECT_EQ(DottedAddress(0), "0.0.0.0");
    EXPECT_EQ(DottedAddress(LimitedBroadcastAddress), "255.255.255.255");
}

TEST(DatagramsTest, ADatagramArrivesWholeWithItsSender) {
    OwnedSocket receiver(OpenDatagramSocket(0, false));
    OwnedSocket sender(OpenDatagramSocket(0, true));
    ASSERT_TRUE(receiver.IsOpen());
    ASSERT_TRUE(sender.IsOpen());
    std::array<uint8_t, 16> buffer{};
    EXPECT_FALSE(ReceiveDatagram(receiver.Get(), buffer)) << "nothing is waiting yet";

    const uint8_t hello[] = {'h', 'a', 'l', 'l', 'o'};
    ASSERT_TRUE(SendDatagram(sender.Get(), LoopbackAddress, LocalPort(receiver.Get()), hello));
    ASSERT_TRUE(WaitReadable(receiver.Get()));
    const std::optional<ReceivedDatagram> got = ReceiveDatagram(receiver.Get(), buffer);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->Count, 5u);
    EXPECT_FALSE(got->Truncated);
    EXPECT_EQ(got->Address, LoopbackAddress);
    EXPECT_EQ(got->Port, LocalPort(sender.Get()));
    EXPECT_TRUE(std::equal(hello, hello + 5, buffer.begin()));
    EXPECT_FALSE(ReceiveDatagram(receiver.Get(), buffer)) << "one datagram, read once";
}

TEST(DatagramsTest, ADatagramLongerThanTheBufferShowsAsCutOff) {
    OwnedSocket receiver(OpenDatagramSocket(0, false));
    OwnedSocket sender(OpenDatagramSocket(0, false));
    const std::array<uint8_t, 40> long_one{};
    ASSERT_TRUE(SendDatagram(sender.Get(), LoopbackAddress, LocalPort(receiver.Get()), long_one));
    ASSERT_TRUE(WaitReadable(receiver.Get()));
    std::array<uint8_t, 16> buffer{};
    const std::optional<ReceivedDatagram> got = ReceiveDatagram(receiver.Get(), buffer);
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->Truncated);
    EXPECT_EQ(got->Count, buffer.size());
}

TEST(DatagramsTest, TwoSocketsThatBothAllowItShareAPort) {
    OwnedSocket first(OpenDatagramSocket(0, false));
    ASSERT_TRUE(first.IsOpen());
    OwnedSocket second(OpenDatagramSocket(LocalPort(first.Get()), false));
    EXPECT_TRUE(second.IsOpen()) << "a program that restarts gets its port back at once";
}

TEST(DatagramsTest, InterfacesIncludeLoopbackWithoutABroadcastAddress) {
    const std::vector<Ipv4Interface> interfaces = Ipv4Interfaces();
    const auto loopback =
        std::find_if(interfaces.begin(), interfaces.end(),
                     [](const Ipv4Interface& entry) { return entry.Address == LoopbackAddress; });
    ASSERT_NE(loopback, interfaces.end());
    EXPECT_TRUE(loopback->Loopback);
    EXPECT_FALSE(loopback->Broadcast);
    EXPECT_FALSE(loopback->Name.empty());
    for (const Ipv4Interface& entry : interfaces) {
        if (entry.Broadcast) {
            SCOPED_TRACE(entry.Name);
            EXPECT_FALSE(entry.Loopback);
            EXPECT_NE(*entry.Broadcast, entry.Address);
        }
    }
}

}  // namespace
}  // namespace tavlora
