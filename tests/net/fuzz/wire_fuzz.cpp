// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for what a hostile peer controls: the stream, cut into pieces of changing
// size, through the framing and the decoder; the whole input as one body; and the whole
// input as one datagram of the search for lobbies. Also for what a damaged disk leaves: the
// whole input as the host's journal. Whatever decodes must encode back to the very bytes it
// came from, and nothing may read outside its buffer (the sanitizers watch that).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/discovery.h"
#include "net/framing.h"
#include "net/journal_format.h"
#include "net/latin1.h"
#include "net/protocol.h"

namespace {

using namespace tavlora;

void Require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

void CheckBody(std::span<const uint8_t> body) {
    const std::optional<Message> message = DecodeBody(body);
    if (!message) {
        return;
    }
    const Bytes again = EncodeBody(*message);
    Require(std::equal(again.begin(), again.end(), body.begin(), body.end()));
}

void CheckStream(std::span<const uint8_t> stream) {
    ReceiveBuffer buffer;
    size_t piece = 1;
    for (size_t pos = 0; pos < stream.size(); pos += piece, piece = piece % 13 + 1) {
        buffer.Append(stream.subspan(pos, std::min(piece, stream.size() - pos)));
        for (;;) {
            const FrameStatus status = buffer.Status();
            if (status == FrameStatus::Broken) {
                return;
            }
            if (status == FrameStatus::Incomplete) {
                break;
            }
            const Bytes body = buffer.TakeBody();
            Require(!body.empty() && body.size() <= static_cast<size_t>(MaxBodyLength));
            CheckBody(body);
        }
    }
}

void CheckDatagram(std::span<const uint8_t> datagram) {
    if (const std::optional<LobbyQuery> query = DecodeQuery(datagram)) {
        const Bytes again = EncodeQuery(*query);
        Require(std::equal(again.begin(), again.end(), datagram.begin(), datagram.end()));
    }
    if (const std::optional<LobbyAnswer> answer = DecodeAnswer(datagram)) {
        Require(datagram.size() <= MaxDiscoveryDatagram);
        const Bytes again = EncodeAnswer(*answer);
        Require(std::equal(again.begin(), again.end(), datagram.begin(), datagram.end()));
    }
}

void CheckJournal(std::span<const uint8_t> file) {
    const JournalContents contents = ReadJournal(file);
    if (contents.End == JournalEnd::Damaged || contents.WholeLength == 0) {
        return;
    }
    Bytes again = EncodeJournalHeader();
    for (const JournalRecord& record : contents.Records) {
        const Bytes encoded = EncodeJournalRecord(record);
        again.insert(again.end(), encoded.begin(), encoded.end());
    }
    const std::span<const uint8_t> whole = file.first(contents.WholeLength);
    Require(std::equal(again.begin(), again.end(), whole.begin(), whole.end()));
}

void CheckText(std::span<const uint8_t> input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const std::string latin1 = Utf8ToLatin1(text);
    Require(latin1.find('\0') == std::string::npos);
    Require(FitsLatin1(Latin1ToUtf8(latin1)));
    if (FitsLatin1(text)) {
        Require(Latin1ToUtf8(latin1) == text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    CheckBody(input);
    CheckStream(input);
    CheckDatagram(input);
    CheckJournal(input);
    CheckText(input);
    return 0;
}
