// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/discovery.h"

#include <algorithm>

#include "net/fields.h"
#include "net/protocol.h"

namespace tavlora {

namespace {

// Every datagram opens with the magic, the version and its kind, then the token.
template <typename Io, typename Token>
void Header(Io& io, uint8_t kind, Token& token) {
    const uint8_t opening[] = {TavloraMagic[0], TavloraMagic[1],  TavloraMagic[2],
                               TavloraMagic[3], DiscoveryVersion, kind};
    io.Magic(opening).UInt32(token);
}

template <typename Io, Is<LobbyQuery> Q>
void Fields(Io& io, Q& query) {
    Header(io, QueryKind, query.Token);
}

template <typename Io, Is<LobbyAnswer> A>
void Fields(Io& io, A& answer) {
    Header(io, AnswerKind, answer.Token);
    io.Byte(answer.PlayerCount).Byte(answer.MaxPlayer);
    io.Int32(answer.TimeByPlayer).Int32(answer.TimeByMove);
    io.PrefixedText(answer.HostName, 1, MaxAnswerNameLength);
}

template <typename T>
Bytes Encode(const T& datagram) {
    BodyWriter out;
    Fields(out, datagram);
    return out.Take();
}

template <typename T>
std::optional<T> Decode(std::span<const uint8_t> bytes) {
    BodyReader in(bytes);
    T datagram{};
    Fields(in, datagram);
    return in.Finished() ? std::optional<T>(std::move(datagram)) : std::nullopt;
}

}  // namespace

Bytes EncodeQuery(const LobbyQuery& query) {
    return Encode(query);
}

Bytes EncodeAnswer(const LobbyAnswer& answer) {
    LobbyAnswer sent = answer;
    sent.TimeByPlayer = std::max(answer.TimeByPlayer, 0);
    sent.TimeByMove = std::max(answer.TimeByMove, 0);
    return Encode(sent);
}

std::optional<LobbyQuery> DecodeQuery(std::span<const uint8_t> datagram) {
    return Decode<LobbyQuery>(datagram);
}

std::optional<LobbyAnswer> DecodeAnswer(std::span<const uint8_t> datagram) {
    std::optional<LobbyAnswer> answer = Decode<LobbyAnswer>(datagram);
    // No limit travels negative: none is sent as 0.
    if (!answer ||
        !LobbyFits(answer->MaxPlayer, answer->PlayerCount, 1, answer->TimeByPlayer,
                   answer->TimeByMove) ||
        answer->TimeByPlayer < 0 || answer->TimeByMove < 0) {
        return std::nullopt;
    }
    return answer;
}

}  // namespace tavlora
