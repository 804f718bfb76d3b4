// SPDX-License-Identifier: GPL-3.0-or-later
// The program's thin layer over POSIX UDP, for finding lobbies on the local network: a
// non-blocking datagram socket, single sends and receives with the peer's address, and the
// computer's IPv4 interfaces with their broadcast addresses. Addresses are host-order
// numbers, a.b.c.d as a << 24 | b << 16 | c << 8 | d.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavlora {

constexpr uint32_t LoopbackAddress = 0x7F000001;          // 127.0.0.1
constexpr uint32_t LimitedBroadcastAddress = 0xFFFFFFFF;  // 255.255.255.255

// "192.168.0.5"
std::string DottedAddress(uint32_t address);

// Interfaces
struct Ipv4Interface {
    std::string Name;
    uint32_t Address = 0;
    std::optional<uint32_t> Broadcast;  // none unless the interface can broadcast
    bool Loopback = false;
};
// Every IPv4 address of an interface that is up, in the system's order; empty when the
// system cannot say.
std::vector<Ipv4Interface> Ipv4Interfaces();

// Sockets
// A non-blocking UDP socket bound to port on all IPv4 addresses, with SO_REUSEADDR; port 0
// picks a free one (see LocalPort in sockets.h). With broadcast it may send to broadcast
// addresses (SO_BROADCAST); without, such a send fails. NoSocket when it cannot be opened.
int OpenDatagramSocket(uint16_t port, bool broadcast);

// One datagram to address:port, without waiting; false when the system refuses it (no route,
// a broadcast address on a socket without broadcast, a full buffer).
bool SendDatagram(int socket, uint32_t address, uint16_t port, std::span<const uint8_t> data);

struct ReceivedDatagram {
    size_t Count = 0;        // bytes placed in the buffer
    bool Truncated = false;  // the datagram was longer than the buffer; its rest is lost
    uint32_t Address = 0;    // the sender
    uint16_t Port = 0;
};
// One waiting datagram, or none when nothing is waiting.
std::optional<ReceivedDatagram> ReceiveDatagram(int socket, std::span<uint8_t> buffer);

}  // namespace tavlora
