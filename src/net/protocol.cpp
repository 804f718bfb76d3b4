// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/protocol.h"

#include <utility>

#include "net/fields.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

// A message of one family (the refusals, the two name messages, the game commands), as Is
// names one message.
template <typename M, template <uint8_t> class Family>
constexpr bool IsFamilyMember = false;
template <uint8_t C, template <uint8_t> class Family>
constexpr bool IsFamilyMember<Family<C>, Family> = true;
template <typename M, template <uint8_t> class Family>
concept OneOf = IsFamilyMember<std::remove_const_t<M>, Family>;

// A Move travels as seven int32.
template <typename Io, Is<Move> M>
void Fields(Io& io, M& move) {
    io.Int32(move.FromX).Int32(move.FromY).Int32(move.ToX).Int32(move.ToY);
    io.Int32(move.Kind).Int32(move.Promotion).Int32(move.Piece);
}

// The fields of each message after its code, in wire order.

template <typename Io, OneOf<RefusalMessage> M>
void Fields(Io&, M&) {}

template <typename Io, Is<MsgPlayerLeft> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Index).Byte(m.PlayerCount);
}

template <typename Io, Is<MsgWelcome> M>
void Fields(Io& io, M& m) {
    io.Byte(m.MaxPlayer).Count(m.PlayerCount, 1).Int32(m.TimeByPlayer).Int32(m.TimeByMove);
    // The new participant itself is counted but not listed.
    io.List(m.Players, m.PlayerCount - 1,
            [&io](auto& entry) { io.Text(entry.PlayerName).Byte(entry.PlayerReady); });
}

template <typename Io, OneOf<NameMessage> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Index).Text(m.PlayerName);
}

template <typename Io, Is<MsgReady> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Index).Byte(m.PlayerReady);
}

template <typename Io, Is<MsgStartGames> M>
void Fields(Io& io, M& m) {
    io.Count(m.PlayerCount, 0);
    io.List(m.Colours, PairCount(m.PlayerCount), [&io](auto& colour) { io.Byte(colour); });
}

template <typename Io, Is<MsgChat> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Index).Text(m.Text);
}

// MsgMove and MsgTimeout share one layout; the move at its end is MsgMove's alone.
template <typename Io, typename M>
requires Is<M, MsgMove> || Is<M, MsgTimeout>
void Fields(Io& io, M& m) {
    io.Byte(m.Sender).Byte(m.PlayerIndex[0]).Byte(m.PlayerIndex[1]);
    io.Int32(m.PlayerTimeLeft).Int32(m.MoveTimeLeft);
    if constexpr (Is<M, MsgMove>) {
        Fields(io, m.Played);
    }
}

template <typename Io, OneOf<GameCommandMessage> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Sender).Byte(m.PlayerIndex[0]).Byte(m.PlayerIndex[1]);
}

// The way back

template <typename Io, Is<MsgCanReturn> M>
void Fields(Io& io, M& m) {
    io.Octets(m.Tag).Byte(m.Version);
}

template <typename Io, Is<MsgReturnTicket> M>
void Fields(Io& io, M& m) {
    io.Int32(m.RejoinSeconds).Octets(m.Secret);
}

template <typename Io, Is<MsgReturn> M>
void Fields(Io& io, M& m) {
    io.Octets(m.Tag).Byte(m.Version).Byte(m.Index).Octets(m.Secret);
    io.Items(m.Held, [&io](auto& held) {
        io.Byte(held.PlayerIndex[0]).Byte(held.PlayerIndex[1]);
        io.Int32(held.Plies).Int32(held.Digest);
    });
}

template <typename Io, Is<MsgWelcomeBack> M>
void Fields(Io& io, M& m) {
    io.Byte(m.MaxPlayer).Count(m.PlayerCount, 0).Int32(m.TimeByPlayer).Int32(m.TimeByMove);
    io.Byte(m.Index).Int32(m.RejoinSeconds);
    io.List(m.Colours, PairCount(m.PlayerCount), [&io](auto& colour) { io.Byte(colour); });
    io.List(m.Players, m.PlayerCount,
            [&io](auto& entry) { io.Text(entry.PlayerName).Byte(entry.Flags); });
}

template <typename Io, Is<MsgGameState> M>
void Fields(Io& io, M& m) {
    io.Byte(m.PlayerIndex[0]).Byte(m.PlayerIndex[1]).Byte(m.State).Byte(m.SideToMove);
    io.Int32(m.PlayerTimeLeft[0]).Int32(m.PlayerTimeLeft[1]);
    io.Int32(m.MoveTimeLeft[0]).Int32(m.MoveTimeLeft[1]);
    io.Byte(m.DrawOffers).Int32(m.PlyCount).Int32(m.FirstPly);
    io.Items(m.Moves, [&io](auto& move) { Fields(io, move); });
}

template <typename Io, OneOf<ParticipantMessage> M>
void Fields(Io& io, M& m) {
    io.Byte(m.Index);
}

template <size_t... I>
constexpr bool CodesMatchIndexes(std::index_sequence<I...>) {
    return ((std::variant_alternative_t<I, Message>::Code == I) && ...);
}
constexpr auto MessageCodes = std::make_index_sequence<std::variant_size_v<Message>>();
static_assert(CodesMatchIndexes(MessageCodes), "a message's code is its index in Message");

template <typename T>
std::optional<Message> DecodeAs(std::span<const uint8_t> body) {
    BodyReader in(body.subspan(1));  // past the code
    T message{};
    Fields(in, message);
    if (!in.Finished()) {
        return std::nullopt;
    }
    return Message(std::in_place_type<T>, std::move(message));
}

template <size_t... I>
std::optional<Message> DecodeByCode(std::span<const uint8_t> body, std::index_sequence<I...>) {
    using Decoder = std::optional<Message> (*)(std::span<const uint8_t>);
    static constexpr Decoder decoders[] = {&DecodeAs<std::variant_alternative_t<I, Message>>...};
    const uint8_t code = body[0];
    if (code >= std::size(decoders)) {
        return std::nullopt;
    }
    return decoders[code](body);
}

}  // namespace

Bytes EncodeBody(const Message& message) {
    return std::visit(
        [](const auto& m) {
            BodyWriter out;
            out.Byte(m.Code);
            Fields(out, m);
            return out.Take();
        },
        message);
}

Frame EncodeFrame(const Message& message) {
    return MakeFrame(EncodeBody(message));
}

std::optional<Message> DecodeBody(std::span<const uint8_t> body) {
    if (body.empty()) {
        return std::nullopt;
    }
    return DecodeByCode(body, MessageCodes);
}

bool LobbyFits(int32_t maxPlayer, int32_t playerCount, int32_t leastCount, int32_t timeByPlayer,
               int32_t timeByMove) {
    return maxPlayer >= 2 && maxPlayer <= MostParticipants && playerCount >= leastCount &&
           playerCount <= maxPlayer && timeByPlayer <= MaxTimeLimit && timeByMove <= MaxTimeLimit;
}

}  // namespace tavlora
