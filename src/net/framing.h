// SPDX-License-Identifier: GPL-3.0-or-later
// The framing of the stream: each message is a little-endian int32 length N followed by N
// body bytes. Builds frames for sending, and gathers what arrives on one connection until a
// whole message can be taken from it; pure, without sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "net/wire_bytes.h"

namespace tavlora {

constexpr size_t LengthPrefixSize = 4;
// The largest body accepted. The largest the program itself sends is a welcome listing 126
// long names, far below this.
constexpr int32_t MaxBodyLength = 1 << 20;

// One message as it goes on the stream. Shared, so a relay to many recipients queues the
// same bytes for each instead of a copy per connection.
using Frame = std::shared_ptr<const Bytes>;

// The length prefix and the body. The body holds 1 .. MaxBodyLength bytes.
Frame MakeFrame(std::span<const uint8_t> body);
// The same bytes added to out, so many messages can be handed over as one piece.
void AppendFrame(Bytes& out, std::span<const uint8_t> body);

enum class FrameStatus {
    Incomplete,  // the next message has not fully arrived yet
    Complete,    // the next message can be taken
    Broken,      // its length is 0 or less or above MaxBodyLength: the stream cannot be trusted
};

// The bytes received on one connection and not yet taken, kept across polls.
class ReceiveBuffer {
public:
    void Append(std::span<const uint8_t> bytes);
    FrameStatus Status() const;
    // Removes the next message and returns its body; only when Status() is Complete.
    Bytes TakeBody();
    size_t Size() const { return bytes_.size() - start_; }

private:
    Bytes bytes_;
    size_t start_ = 0;  // bytes before it have been taken
};

}  // namespace tavlora
