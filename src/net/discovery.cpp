// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/discovery.h"

#include <algorithm>

#include "net/latin1.h"
#include "net/protocol.h"
#include "rules/clock.h"

namespace tavlora {

namespace {

constexpr size_t HeaderLength = 4 + 1 + 1 + 4;  // magic, version, kind, token
constexpr size_t QueryLength = HeaderLength;
constexpr size_t AnswerFixedLength = HeaderLength + 1 + 1 + 4 + 4 + 1;  // then the name

void AppendHeader(Bytes& out, uint8_t kind, uint32_t token) {
    out.insert(out.end(), std::begin(DiscoveryMagic), std::end(DiscoveryMagic));
    out.push_back(DiscoveryVersion);
    out.push_back(kind);
    AppendInt32(out, static_cast<int32_t>(token));
}

// The token of a datagram of this kind, once magic, version and kind have been checked.
std::optional<uint32_t> ReadHeader(std::span<const uint8_t> datagram, uint8_t kind) {
    if (datagram.size() < HeaderLength ||
        !std::equal(std::begin(DiscoveryMagic), std::end(DiscoveryMagic), datagram.begin()) ||
        datagram[4] != DiscoveryVersion || datagram[5] != kind) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(ReadInt32(&datagram[6]));
}

uint8_t CountByte(int32_t count) {
    return static_cast<uint8_t>(std::clamp(count, 0, 255));
}

bool IsMinutes(int32_t minutes) {
    return minutes >= 0 && minutes <= MaxTimeLimit;
}

}  // namespace

Bytes EncodeQuery(const LobbyQuery& query) {
    Bytes out;
    out.reserve(QueryLength);
    AppendHeader(out, QueryKind, query.Token);
    return out;
}

Bytes EncodeAnswer(const LobbyAnswer& answer) {
    std::string name = Utf8ToLatin1(answer.HostName);
    name.resize(std::min(name.size(), MaxAnswerNameLength));
    Bytes out;
    out.reserve(AnswerFixedLength + name.size());
    AppendHeader(out, AnswerKind, answer.Token);
    out.push_back(CountByte(answer.PlayerCount));
    out.push_back(CountByte(answer.MaxPlayer));
    AppendInt32(out, std::max(answer.TimeByPlayer, 0));
    AppendInt32(out, std::max(answer.TimeByMove, 0));
    out.push_back(static_cast<uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

std::optional<LobbyQuery> DecodeQuery(std::span<const uint8_t> datagram) {
    const std::optional<uint32_t> token = ReadHeader(datagram, QueryKind);
    if (!token || datagram.size() != QueryLength) {
        return std::nullopt;
    }
    return LobbyQuery{*token};
}

std::optional<LobbyAnswer> DecodeAnswer(std::span<const uint8_t> datagram) {
    const std::optional<uint32_t> token = ReadHeader(datagram, AnswerKind);
    if (!token || datagram.size() < AnswerFixedLength) {
        return std::nullopt;
    }
    LobbyAnswer answer;
    answer.Token = *token;
    const uint8_t* p = &datagram[HeaderLength];
    answer.PlayerCount = p[0];
    answer.MaxPlayer = p[1];
    answer.TimeByPlayer = ReadInt32(p + 2);
    answer.TimeByMove = ReadInt32(p + 6);
    const size_t nameLength = p[10];
    if (answer.MaxPlayer < 2 || answer.MaxPlayer > MostParticipants || answer.PlayerCount < 1 ||
        answer.PlayerCount > answer.MaxPlayer || !IsMinutes(answer.TimeByPlayer) ||
        !IsMinutes(answer.TimeByMove) || nameLength < 1 || nameLength > MaxAnswerNameLength ||
        datagram.size() != AnswerFixedLength + nameLength) {
        return std::nullopt;
    }
    const std::span<const uint8_t> name = datagram.subspan(AnswerFixedLength);
    if (std::find(name.begin(), name.end(), 0) != name.end()) {
        return std::nullopt;
    }
    answer.HostName = Latin1ToUtf8(std::string(name.begin(), name.end()));
    return answer;
}

}  // namespace tavlora
