// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzz target's seed corpus: every message of the catalogue as a frame, the same
// messages back to back as one stream, each body alone, the two datagrams of the search
// for lobbies, and a journal with a record of every kind.
// Usage: make_seeds <directory>
#include <cstdio>
#include <fstream>
#include <string>

#include "net/discovery.h"
#include "net/journal_format.h"
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

    using namespace tavlora;
    Bytes journal = EncodeJournalHeader();
    const std::vector<JournalRecord> records = {
        {1000, JournalStarted{8, 1, 2, 120, {{"Wirt", 0, {}}, {"Jürgen", 1, {1, 2, 3}}}, {1}}},
        {1100, Message(MsgMove{1, {1, 0}, 59, 119, Move{4, 1, 4, 3, Quiet, NoPromotion, Pawn}})},
        {1200, Message(MsgDrawOffer{0, {1, 0}})},
        {1300, JournalAway{1}},
        {1400, JournalBack{1}},
        {1500, JournalClock{}},
        {1600, JournalResumed{}},
        {1700, Message(MsgResign{0, {1, 0}})},
        {1800, JournalGamesFile{1700000000, "Partien/Tavlora.pgn"}},
        {2000, JournalLeft{1}},
    };
    for (const JournalRecord& record : records) {
        const Bytes encoded = EncodeJournalRecord(record);
        journal.insert(journal.end(), encoded.begin(), encoded.end());
    }
    WriteSeed(directory + "/every-record.journal", journal);
    return 0;
}
