// SPDX-License-Identifier: GPL-3.0-or-later
#include "chaos/descriptors.h"

#include <dirent.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_set>

namespace tavlora {

namespace {

// The inodes of the TCP sockets of this network namespace whose local port is port.
std::unordered_set<uint64_t> InodesOnPort(uint16_t port) {
    std::unordered_set<uint64_t> inodes;
    std::ifstream table("/proc/self/net/tcp");
    std::string line;
    std::getline(table, line);  // the column titles
    while (std::getline(table, line)) {
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout
        // inode ...
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        uint64_t inode = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode)) {
            continue;
        }
        const size_t colon = local.find(':');
        if (colon != std::string::npos &&
            std::stoul(local.substr(colon + 1), nullptr, 16) == port && inode != 0) {
            inodes.insert(inode);
        }
    }
    return inodes;
}

}  // namespace

int SocketsOnPort(uint16_t port) {
    const std::unordered_set<uint64_t> inodes = InodesOnPort(port);
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    int count = 0;
    while (const dirent* entry = readdir(folder)) {
        char target[64] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(path.c_str(), target, sizeof target - 1) <= 0) {
            continue;
        }
        uint64_t inode = 0;
        if (std::sscanf(target, "socket:[%" SCNu64 "]", &inode) == 1 && inodes.contains(inode)) {
            ++count;
        }
    }
    closedir(folder);
    return count;
}

}  // namespace tavlora
