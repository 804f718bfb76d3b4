// SPDX-License-Identifier: GPL-3.0-or-later
#include "chaos/faults.h"

#include <sys/socket.h>

#include <array>
#include <memory>

#include "net/protocol.h"

namespace tavlora {

namespace {

constexpr std::array<FaultInfo, FaultKindCount> Infos = {{
    {"abrupt close", FaultOutcome::Leaves, ClockCheck::All},
    {"reset (RST)", FaultOutcome::Leaves, ClockCheck::All},
    {"broken frame length", FaultOutcome::Leaves, ClockCheck::All},
    {"malformed body", FaultOutcome::Leaves, ClockCheck::All},
    {"unknown codes", FaultOutcome::Stays, ClockCheck::All},
    {"lying clocks", FaultOutcome::Stays, ClockCheck::Opponents},
    {"stale moves", FaultOutcome::Stays, ClockCheck::None},
    {"frozen, never declares", FaultOutcome::Stays, ClockCheck::All},
    {"second names", FaultOutcome::Stays, ClockCheck::All},
    {"chat flood", FaultOutcome::Stays, ClockCheck::All},
    {"slow reader", FaultOutcome::Either, ClockCheck::None},
    {"stalled reader", FaultOutcome::Either, ClockCheck::None},
    {"drops, back in time", FaultOutcome::Stays, ClockCheck::All},
    {"drops, back too late", FaultOutcome::Leaves, ClockCheck::All},
}};

// Codes from here on are no program's.
constexpr int FirstUnknownCode = static_cast<int>(std::variant_size_v<Message>);

Frame Raw(Bytes bytes) {
    return std::make_shared<const Bytes>(std::move(bytes));
}

uint8_t Byte(int32_t value) {
    return static_cast<uint8_t>(value);
}

}  // namespace

const FaultInfo& Describe(FaultKind kind) {
    return Infos[static_cast<size_t>(kind)];
}

Frame BrokenLengthFrame(int variant) {
    switch (variant % 3) {
        case 0:
            return Raw({0, 0, 0, 0});
        case 1:
            return Raw({0xFB, 0xFF, 0xFF, 0xFF, MsgChat::Code});  // -5
        default:
            return Raw({0x01, 0x00, 0x10, 0x00, MsgChat::Code});  // one beyond MaxBodyLength
    }
}

Frame MalformedFrame(int variant, int32_t sender) {
    const uint8_t self = Byte(sender);
    switch (variant % 5) {
        case 0:  // a move without its move
            return Raw({5, 0, 0, 0, MsgMove::Code, self, self, 0, 0});
        case 1:  // a text without its zero byte
            return Raw({3, 0, 0, 0, MsgChat::Code, self, 'x'});
        case 2:  // bytes left over
            return Raw({4, 0, 0, 0, MsgReady::Code, self, 1, 1});
        case 3:  // a game between participants the table cannot hold
            return EncodeFrame(MsgResign{sender, {sender, 120}});
        default: {  // a chat line of a mebibyte, which everyone would have to take
            Bytes body(static_cast<size_t>(MaxBodyLength), 'x');
            body[0] = MsgChat::Code;
            body[1] = self;
            body.back() = 0;
            return MakeFrame(body);
        }
    }
}

Frame UnknownCodeFrame(RandomSource& random) {
    Bytes body(static_cast<size_t>(1 + random.RandomBelow(40)));
    for (uint8_t& byte : body) {
        byte = Byte(random.RandomBelow(256));
    }
    body[0] = Byte(FirstUnknownCode + random.RandomBelow(256 - FirstUnknownCode));
    return MakeFrame(body);
}

std::string RenameAttempt(int attempt, const std::string& host, const std::string& other) {
    switch (attempt % 4) {
        case 0:
            return host;
        case 1:
            return other;
        case 2:
            return "";
        default:
            return "Neu" + std::to_string(attempt);
    }
}

const std::string& FloodLine() {
    static const std::string line(MaxTextLength, 'x');
    return line;
}

void ResetOnClose(int socket) {
    const linger reset{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

}  // namespace tavlora
