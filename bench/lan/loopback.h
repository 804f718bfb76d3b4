// SPDX-License-Identifier: GPL-3.0-or-later
// The loopback the benchmark runs on: a network namespace of its own where the system allows
// it, so the program's fixed port is free and nobody else's traffic shares the interface;
// and what the kernel holds queued on the connections to and from the server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlora {

// Moves this process, and every process it starts from now on, into a new network namespace
// with its loopback interface up. False with the reason when the system does not allow it.
bool UsePrivateLoopback(std::string& error);

// Whether a listening socket could be opened on the port now.
bool PortIsFree(uint16_t port);

// Bytes the kernel holds on the loopback connections of the server's port.
struct Backlog {
    // Arrived at the server and not read by it yet, over all its connections.
    uint64_t ServerUnread = 0;
    // On the way to the one client whose local port is not among botPorts: not yet read by
    // it, plus not yet taken by its side of the connection.
    uint64_t ClientUnread = 0;
    bool ClientConnected = false;
};
Backlog ReadBacklog(uint16_t serverPort, const std::vector<uint16_t>& botPorts);

}  // namespace tavlora
