// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal as bytes (docs/JOURNAL.md): a header, then one record per event that
// changed the tournament, each with its length and a checksum, so a record cut short by a
// crash or damaged on the disk is recognised. Pure functions over bytes, testable and
// fuzzable without files; what the records mean to a tournament is the replay's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "net/protocol.h"
#include "net/wire_bytes.h"

namespace tavlora {

// The file opens with the program's magic "TVLR", this version and the journal's kind.
constexpr uint8_t JournalVersion = 1;
constexpr uint8_t JournalKind = 3;  // after the two kinds of datagram of the lobby search
constexpr size_t JournalHeaderLength = 6;
// No record of a tournament the program can hold comes near this; a longer length is damage.
constexpr size_t MaxJournalRecord = size_t{8} << 20;

// The events

struct JournalPlayer {
    std::string PlayerName;  // UTF-8, exactly as the server holds it
    int32_t CanReturn = 0;   // 1 when its program announced that it can come back
    ReturnSecret Secret{};
    friend bool operator==(const JournalPlayer&, const JournalPlayer&) = default;
};

// The games have been created.
struct JournalStarted {
    int32_t MaxPlayer = 0;
    int32_t TimeByPlayer = 0;  // minutes, 0 = no limit
    int32_t TimeByMove = 0;
    int32_t RejoinSeconds = 0;
    std::vector<JournalPlayer> Players;  // participants 0 .. PlayerCount - 1
    std::vector<int32_t> Colours;        // one per pair, as in MsgStartGames
    friend bool operator==(const JournalStarted&, const JournalStarted&) = default;
};

// A participant went away, came back, or left for good.
template <uint8_t K>
struct JournalParticipant {
    int32_t Participant = 0;
    friend bool operator==(const JournalParticipant&, const JournalParticipant&) = default;
};
using JournalAway = JournalParticipant<3>;
using JournalBack = JournalParticipant<4>;
using JournalLeft = JournalParticipant<5>;

// Nothing but the time: a running game's clocks follow from when its turn began.
struct JournalClock {
    friend bool operator==(const JournalClock&, const JournalClock&) = default;
};

// The host's program was started again and resumed the tournament: from the record before to
// this one no clock ran.
struct JournalResumed {
    friend bool operator==(const JournalResumed&, const JournalResumed&) = default;
};

// Where the host saves the games, and when play began.
struct JournalGamesFile {
    int64_t StartTime = 0;  // seconds since 1970, UTC
    std::string Path;       // UTF-8
    friend bool operator==(const JournalGamesFile&, const JournalGamesFile&) = default;
};

// A game message as the server relayed it (MsgMove, MsgTimeout, MsgDrawOffer, MsgDrawAccept,
// MsgResign) is kept in its wire layout. A record's kind is its event's place here plus one.
using JournalEvent = std::variant<JournalStarted, Message, JournalAway, JournalBack, JournalLeft,
                                  JournalClock, JournalResumed, JournalGamesFile>;

struct JournalRecord {
    uint32_t At = 0;  // the host's tick count when the event was applied
    JournalEvent Event;
    friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

// Writing
// The header; it goes into the file with the first record.
Bytes EncodeJournalHeader();
// One record: its length, its checksum, then the kind, the time and the event's fields.
Bytes EncodeJournalRecord(const JournalRecord& record);

// Reading
enum class JournalEnd {
    Whole,    // every byte is part of the header or of a whole record
    Torn,     // the last record was cut short, or damaged with nothing after it: left out
    Damaged,  // the header is not a journal's, or a record before the end cannot be read
};

struct JournalContents {
    JournalEnd End = JournalEnd::Whole;
    std::vector<JournalRecord> Records;  // every whole record, oldest first; none when Damaged
    size_t WholeLength = 0;              // the header and the whole records, in bytes
};

// What bytes hold. An empty file is a whole journal without records.
JournalContents ReadJournal(std::span<const uint8_t> bytes);

}  // namespace tavlora
