// SPDX-License-Identifier: GPL-3.0-or-later
#include "lan/loopback.h"

#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tavlora {

namespace {

constexpr int Established = 1;  // the state column of /proc/net/tcp

// One row of /proc/net/tcp: "sl local rem st tx_queue:rx_queue ...", addresses as
// HEXADDR:HEXPORT.
struct TcpRow {
    uint16_t LocalPort = 0;
    uint16_t RemotePort = 0;
    int State = 0;
    uint64_t Unsent = 0;  // tx_queue
    uint64_t Unread = 0;  // rx_queue
};

uint16_t PortOf(const std::string& address) {
    const size_t colon = address.find(':');
    return colon == std::string::npos
               ? 0
               : static_cast<uint16_t>(std::stoul(address.substr(colon + 1), nullptr, 16));
}

std::vector<TcpRow> ReadTcpRows() {
    std::vector<TcpRow> rows;
    std::ifstream file("/proc/net/tcp");
    std::string line;
    std::getline(file, line);  // the header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        if (!(fields >> slot >> local >> remote >> state >> queues)) {
            continue;
        }
        const size_t colon = queues.find(':');
        TcpRow row;
        row.LocalPort = PortOf(local);
        row.RemotePort = PortOf(remote);
        row.State = std::stoi(state, nullptr, 16);
        row.Unsent = std::stoull(queues.substr(0, colon), nullptr, 16);
        row.Unread = std::stoull(queues.substr(colon + 1), nullptr, 16);
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

bool UsePrivateLoopback(std::string& error) {
    if (unshare(CLONE_NEWNET) != 0) {
        error = std::string("no network namespace of its own: ") + std::strerror(errno);
        return false;
    }
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = false;
    if (socket >= 0 && ioctl(socket, SIOCGIFFLAGS, &request) == 0) {
        request.ifr_flags |= IFF_UP;
        up = ioctl(socket, SIOCSIFFLAGS, &request) == 0;
    }
    if (!up) {
        error = std::string("loopback of the new namespace stays down: ") + std::strerror(errno);
    }
    if (socket >= 0) {
        close(socket);
    }
    return up;
}

bool PortIsFree(uint16_t port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return false;
    }
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const bool free =
        bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(socket);
    return free;
}

Backlog ReadBacklog(uint16_t serverPort, const std::vector<uint16_t>& botPorts) {
    const std::vector<TcpRow> rows = ReadTcpRows();
    Backlog backlog;
    uint16_t clientPort = 0;
    for (const TcpRow& row : rows) {
        if (row.State != Established) {
            continue;
        }
        if (row.LocalPort == serverPort) {
            backlog.ServerUnread += row.Unread;
        } else if (row.RemotePort == serverPort &&
                   std::ranges::find(botPorts, row.LocalPort) == botPorts.end()) {
            clientPort = row.LocalPort;
            backlog.ClientConnected = true;
            backlog.ClientUnread += row.Unread;
        }
    }
    for (const TcpRow& row : rows) {
        if (row.State == Established && clientPort != 0 && row.LocalPort == serverPort &&
            row.RemotePort == clientPort) {
            backlog.ClientUnread += row.Unsent;
        }
    }
    return backlog;
}

}  // namespace tavlora
