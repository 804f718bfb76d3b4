// SPDX-License-Identifier: GPL-3.0-or-later
// The datagrams that find open lobbies on the local network (docs/DISCOVERY.md): a client's
// query and a server's answer, as pure functions over bytes, fuzzable and testable without
// sockets. Both travel over UDP on the program's port (6156), apart from the TCP protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "net/wire_bytes.h"

namespace tavlora {

// Every datagram opens with the magic TavloraMagic, the version and the kind.
constexpr uint8_t DiscoveryVersion = 1;
constexpr uint8_t QueryKind = 1;
constexpr uint8_t AnswerKind = 2;

// A name longer than this travels cut to its first characters.
constexpr size_t MaxAnswerNameLength = 64;
// The longest datagram of either kind; a receive buffer of this size holds every valid one.
constexpr size_t MaxDiscoveryDatagram = 4 + 1 + 1 + 4 + 1 + 1 + 4 + 4 + 1 + MaxAnswerNameLength;

// "Who hosts an open lobby?", broadcast by a client. The token comes back in every answer,
// so the client can tell the answers to its own query from strays.
struct LobbyQuery {
    uint32_t Token = 0;
    friend bool operator==(const LobbyQuery&, const LobbyQuery&) = default;
};

// A server's answer to one query, sent to the querying client alone.
struct LobbyAnswer {
    uint32_t Token = 0;
    std::string HostName;      // UTF-8; the server's own participant
    int32_t PlayerCount = 0;   // 1 .. MaxPlayer
    int32_t MaxPlayer = 0;     // 2 .. 127
    int32_t TimeByPlayer = 0;  // minutes, 0 = no limit
    int32_t TimeByMove = 0;
    friend bool operator==(const LobbyAnswer&, const LobbyAnswer&) = default;
};

// Encoding. An answer's name is cut to MaxAnswerNameLength Latin-1 characters (a character
// Latin-1 cannot carry becomes '?'), and a negative limit, which means none, is sent as 0.
// The caller keeps the counts within their ranges.
Bytes EncodeQuery(const LobbyQuery& query);
Bytes EncodeAnswer(const LobbyAnswer& answer);

// Decoding: none for anything that is not exactly a well-formed datagram of that kind and
// version, with every field in its range (docs/DISCOVERY.md).
std::optional<LobbyQuery> DecodeQuery(std::span<const uint8_t> datagram);
std::optional<LobbyAnswer> DecodeAnswer(std::span<const uint8_t> datagram);

}  // namespace tavlora
