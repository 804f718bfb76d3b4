// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzz target's seed corpus: every message of the catalogue as a frame, the same
// messages back to back as one stream, each body alone, and the two datagrams of the search
// for lobbies.
// Usage: make_seeds <directory>
#include <cstdio>
#include <fstream>
#include <string>

#include "net/discovery.h"
#include "net/sample_messages.h"

namespace {

void WriteSeed(const std::string& path, const tavlora::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <directory>\n");
        return 2;
    }
    const std::string directory = argv[1];
    tavlora::Bytes stream;
    for (const tavlora::Message& message : tavlora::SampleMessages()) {
        const std::string name = directory + "/code" + std::to_string(message.index());
        const tavlora::Frame frame = tavlora::EncodeFrame(message);
        WriteSeed(name + ".frame", *frame);
        WriteSeed(name + ".body", tavlora::EncodeBody(message));
        stream.insert(stream.end(), frame->begin(), frame->end());
    }
    WriteSeed(directory + "/every-message.stream", stream);
    WriteSeed(directory + "/discovery-query.datagram", tavlora::EncodeQuery({0x01020304}));
    WriteSeed(directory + "/discovery-answer.datagram",
              tavlora::EncodeAnswer({0x01020304, "Jürgen", 3, 8, 10, 1}));
    return 0;
}
