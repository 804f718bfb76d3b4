// SPDX-License-Identifier: GPL-3.0-or-later
// What the kernel says about the sockets of a run in one process: how many of its descriptors
// belong to the server, bound to the server's port.
#pragma once

#include <cstdint>

namespace tavlora {

// The descriptors of this process that are TCP sockets bound to port: a server's listening
// socket and every connection it has accepted and not yet closed. -1 when /proc cannot tell.
int SocketsOnPort(uint16_t port);

}  // namespace tavlora
