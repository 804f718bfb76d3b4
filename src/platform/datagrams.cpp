// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/datagrams.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include "platform/sockets.h"

namespace tavlora {

namespace {

sockaddr_in SocketAddress(uint32_t address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(port);
    return result;
}

uint32_t AddressOf(const sockaddr* address) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

}  // namespace

std::string DottedAddress(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::vector<Ipv4Interface> Ipv4Interfaces() {
    std::vector<Ipv4Interface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return interfaces;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        Ipv4Interface found;
        found.Name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        found.Address = AddressOf(entry->ifa_addr);
        found.Loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        // ifa_broadaddr shares its place with the point-to-point peer: only the flag tells.
        if ((entry->ifa_flags & IFF_BROADCAST) != 0 && entry->ifa_broadaddr != nullptr &&
            entry->ifa_broadaddr->sa_family == AF_INET) {
            found.Broadcast = AddressOf(entry->ifa_broadaddr);
        }
        interfaces.push_back(found);
    }
    freeifaddrs(list);
    return interfaces;
}

int OpenDatagramSocket(uint16_t port, bool broadcast) {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return NoSocket;
    }
    int on = 1;
    const sockaddr_in address = SocketAddress(INADDR_ANY, port);
    if (setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        (broadcast && setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) ||
        bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return NoSocket;
    }
    return socket;
}

bool SendDatagram(int socket, uint32_t address, uint16_t port, std::span<const uint8_t> data) {
    const sockaddr_in target = SocketAddress(address, port);
    const ssize_t sent = sendto(socket, data.data(), data.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent == static_cast<ssize_t>(data.size());
}

std::optional<ReceivedDatagram> ReceiveDatagram(int socket, std::span<uint8_t> buffer) {
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        // MSG_TRUNC: the datagram's real length, also when it did not fit.
        const ssize_t count =
            recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                     reinterpret_cast<sockaddr*>(&from), &length);
        if (count < 0) {
            // An ICMP error of an earlier send is reported here once; the next datagram
            // may stand behind it.
            if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH) {
                continue;
            }
            return std::nullopt;
        }
        if (from.sin_family != AF_INET) {
            continue;
        }
        ReceivedDatagram received;
        received.Truncated = static_cast<size_t>(count) > buffer.size();
        received.Count = received.Truncated ? buffer.size() : static_cast<size_t>(count);
        received.Address = ntohl(from.sin_addr.s_addr);
        received.Port = ntohs(from.sin_port);
        return received;
    }
}

}  // namespace tavlora
