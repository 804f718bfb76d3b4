// SPDX-License-Identifier: GPL-3.0-or-later
// A loopback listener whose backlog is full and that never accepts: the system drops every
// further connection request unanswered, so a connect to it hangs as one to a server that is
// switched off behind a router would, without any traffic leaving the machine.
#pragma once

#include <sys/socket.h>

#include <vector>

#include "platform/sockets.h"

namespace tavlora {

class FullListener {
public:
    FullListener() : listener_(OpenListeningSocket(0)) {
        listen(listener_.Get(), 0);
        // However the system counts the backlog, the first connect left unanswered shows it
        // full; those answered before stay open and keep it so.
        for (int i = 0; i < 4; ++i) {
            OwnedSocket socket(StartConnect("127.0.0.1", Port()));
            if (FinishConnect(socket.Get(), 300) != ConnectProgress::Connected) {
                break;
            }
            filling_.push_back(std::move(socket));
        }
    }

    uint16_t Port() const { return LocalPort(listener_.Get()); }

private:
    OwnedSocket listener_;
    std::vector<OwnedSocket> filling_;
};

}  // namespace tavlora
