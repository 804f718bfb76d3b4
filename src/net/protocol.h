// SPDX-License-Identifier: GPL-3.0-or-later
// The message catalogue: one record per message code, and its encoder and decoder as pure
// functions over bodies (code first, no length prefix). Byte fields come back as signed
// values and texts as UTF-8; every field reaches the caller as a plain int, unchecked
// against any table, so the server and the client test ranges against their own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "net/fields.h"
#include "net/framing.h"
#include "net/wire_bytes.h"
#include "rules/types.h"

namespace tavlora {

// What a participant's program shows to prove that it is coming back: 128 bits from the
// operating system's random source, given by the server at the start.
using ReturnSecret = std::array<uint8_t, 16>;

// The number of games, one per pair, among count participants: the colour bytes of
// MsgStartGames.
constexpr int32_t PairCount(int32_t count) {
    return count * (count - 1) / 2;
}

// Refusals: the code alone.
template <uint8_t C>
struct RefusalMessage {
    static constexpr uint8_t Code = C;
    friend bool operator==(const RefusalMessage&, const RefusalMessage&) = default;
};
using MsgRefusedRunning = RefusalMessage<0>;
using MsgRefusedFull = RefusalMessage<1>;

// Lobby
struct MsgPlayerLeft {
    static constexpr uint8_t Code = 2;
    int32_t Index;        // as it was before the departure
    int32_t PlayerCount;  // after the departure
    friend bool operator==(const MsgPlayerLeft&, const MsgPlayerLeft&) = default;
};

struct WelcomeEntry {
    std::string PlayerName;
    int32_t PlayerReady;
    friend bool operator==(const WelcomeEntry&, const WelcomeEntry&) = default;
};

struct MsgWelcome {
    static constexpr uint8_t Code = 3;
    int32_t MaxPlayer;
    int32_t PlayerCount;  // the new participant included
    int32_t TimeByPlayer;
    int32_t TimeByMove;
    // Participants 0 .. PlayerCount - 2; always PlayerCount - 1 entries.
    std::vector<WelcomeEntry> Players;
    friend bool operator==(const MsgWelcome&, const MsgWelcome&) = default;
};

// MsgName (client to server) and MsgPlayerNamed (server to all) share one layout.
template <uint8_t C>
struct NameMessage {
    static constexpr uint8_t Code = C;
    int32_t Index;
    std::string PlayerName;
    friend bool operator==(const NameMessage&, const NameMessage&) = default;
};
using MsgName = NameMessage<4>;
using MsgPlayerNamed = NameMessage<5>;

struct MsgReady {
    static constexpr uint8_t Code = 6;
    int32_t Index;
    int32_t PlayerReady;
    friend bool operator==(const MsgReady&, const MsgReady&) = default;
};

struct MsgStartGames {
    static constexpr uint8_t Code = 7;
    int32_t PlayerCount;
    // One per pair (i, j), i < j, i outer: 0 makes i White, 1 makes j White.
    // Always PlayerCount * (PlayerCount - 1) / 2 entries.
    std::vector<int32_t> Colours;
    friend bool operator==(const MsgStartGames&, const MsgStartGames&) = default;
};

struct MsgChat {
    static constexpr uint8_t Code = 8;
    int32_t Index;
    std::string Text;  // as typed, without the sender's name
    friend bool operator==(const MsgChat&, const MsgChat&) = default;
};

// Games. A game is named by PlayerIndex: White's participant, then Black's.
struct MsgMove {
    static constexpr uint8_t Code = 9;
    int32_t Sender;
    int32_t PlayerIndex[2];
    int32_t PlayerTimeLeft;  // the mover's clocks in seconds, before the move
    int32_t MoveTimeLeft;
    Move Played;
    friend bool operator==(const MsgMove&, const MsgMove&) = default;
};

struct MsgTimeout {
    static constexpr uint8_t Code = 10;
    int32_t Sender;
    int32_t PlayerIndex[2];
    int32_t PlayerTimeLeft;  // the clocks of the side that ran out of time
    int32_t MoveTimeLeft;
    friend bool operator==(const MsgTimeout&, const MsgTimeout&) = default;
};

// MsgDrawOffer, MsgDrawAccept and MsgResign share one layout.
template <uint8_t C>
struct GameCommandMessage {
    static constexpr uint8_t Code = C;
    int32_t Sender;
    int32_t PlayerIndex[2];
    friend bool operator==(const GameCommandMessage&, const GameCommandMessage&) = default;
};
using MsgDrawOffer = GameCommandMessage<11>;
using MsgDrawAccept = GameCommandMessage<12>;
using MsgResign = GameCommandMessage<13>;

// The way back after a dropped connection: an extension of the catalogue that a program sends
// only to a peer that announced it, so a peer without it sees exactly the bytes it saw before.
// Layouts and rules in docs/WAY_BACK.md.
using Magic = std::array<uint8_t, 4>;
constexpr int32_t WayBackVersion = 1;

// Client to server, right after MsgName: this program can come back after a dropped connection.
struct MsgCanReturn {
    static constexpr uint8_t Code = 14;
    Magic Tag = TavloraMagic;
    int32_t Version = WayBackVersion;
    friend bool operator==(const MsgCanReturn&, const MsgCanReturn&) = default;
};

// Server to one announced client, right after MsgStartGames: how long it may be away, and the
// secret that proves its return.
struct MsgReturnTicket {
    static constexpr uint8_t Code = 15;
    int32_t RejoinSeconds;
    ReturnSecret Secret;
    friend bool operator==(const MsgReturnTicket&, const MsgReturnTicket&) = default;
};

// What a returning program holds of one game: its moves and a digest of them.
struct HeldGame {
    int32_t PlayerIndex[2];
    int32_t Plies;   // moves in its History
    int32_t Digest;  // HistoryDigest of them
    friend bool operator==(const HeldGame&, const HeldGame&) = default;
};

// Client to server, the first message on a new connection after the start.
struct MsgReturn {
    static constexpr uint8_t Code = 16;
    Magic Tag = TavloraMagic;
    int32_t Version = WayBackVersion;
    int32_t Index;  // the returning participant
    ReturnSecret Secret;
    std::vector<HeldGame> Held;  // none for a program that holds no game
    friend bool operator==(const MsgReturn&, const MsgReturn&) = default;
};

// Server to a returning program: the return is refused for good (a wrong secret, a participant
// who has left, a grace time that is over).
using MsgReturnRefused = RefusalMessage<17>;

struct ReturnEntry {
    std::string PlayerName;
    int32_t Flags;  // ParticipantLeftFlag, ParticipantAwayFlag
    friend bool operator==(const ReturnEntry&, const ReturnEntry&) = default;
};
constexpr int32_t ParticipantLeftFlag = 1;
constexpr int32_t ParticipantAwayFlag = 2;

// Server to the returned program: the tournament as it stands, without its games, which follow
// in one MsgGameState each.
struct MsgWelcomeBack {
    static constexpr uint8_t Code = 18;
    int32_t MaxPlayer;
    int32_t PlayerCount;
    int32_t TimeByPlayer;
    int32_t TimeByMove;
    int32_t Index;  // the returned participant
    int32_t RejoinSeconds;
    std::vector<int32_t> Colours;      // as in MsgStartGames: PairCount(PlayerCount) entries
    std::vector<ReturnEntry> Players;  // PlayerCount entries
    friend bool operator==(const MsgWelcomeBack&, const MsgWelcomeBack&) = default;
};

// Server to the returned program: one game as the server holds it now. Moves from FirstPly on;
// a game longer than one message allows comes in several, and its state counts once the copy
// holds PlyCount moves.
struct MsgGameState {
    static constexpr uint8_t Code = 19;
    int32_t PlayerIndex[2];
    int32_t State;
    int32_t SideToMove;
    int32_t PlayerTimeLeft[2];  // per colour, as the server counts them now
    int32_t MoveTimeLeft[2];
    int32_t DrawOffers;  // bit 0: White's offer stands, bit 1: Black's
    int32_t PlyCount;
    int32_t FirstPly;
    std::vector<Move> Moves;
    friend bool operator==(const MsgGameState&, const MsgGameState&) = default;
};

// Server to announced clients: a participant is away, or back.
template <uint8_t C>
struct ParticipantMessage {
    static constexpr uint8_t Code = C;
    int32_t Index;
    friend bool operator==(const ParticipantMessage&, const ParticipantMessage&) = default;
};
using MsgAway = ParticipantMessage<20>;
using MsgBack = ParticipantMessage<21>;

// Every message; the alternative's index is its code.
using Message =
    std::variant<MsgRefusedRunning, MsgRefusedFull, MsgPlayerLeft, MsgWelcome, MsgName,
                 MsgPlayerNamed, MsgReady, MsgStartGames, MsgChat, MsgMove, MsgTimeout,
                 MsgDrawOffer, MsgDrawAccept, MsgResign, MsgCanReturn, MsgReturnTicket, MsgReturn,
                 MsgReturnRefused, MsgWelcomeBack, MsgGameState, MsgAway, MsgBack>;

// Whether code is one of the catalogue's. A newer program's codes are not: they are read and
// dropped, and the connection stays.
constexpr bool IsKnownCode(uint8_t code) {
    return code < std::variant_size_v<Message>;
}

// Encoding
// The body: code, then the fields in order. Byte fields keep the low 8 bits of their value;
// texts go out in Latin-1, a character it cannot carry as '?'.
Bytes EncodeBody(const Message& message);
// The body behind its length prefix, ready to queue for any number of recipients.
Frame EncodeFrame(const Message& message);

// Decoding
// The message a body holds, or none when its code is unknown, a field is missing, a text
// lacks its zero byte, a count is negative, or bytes are left over. Never reads outside
// the body.
std::optional<Message> DecodeBody(std::span<const uint8_t> body);

// Limits
// Whether a server's account of its lobby, in its welcome or in its answer to a search, is one
// this program can join: room for 2 to MostParticipants, leastCount to that many there, and
// time limits whose seconds fit the clocks (a negative one means none).
bool LobbyFits(int32_t maxPlayer, int32_t playerCount, int32_t leastCount, int32_t timeByPlayer,
               int32_t timeByMove);

}  // namespace tavlora
