// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/framing.h"

#include <cassert>

namespace tavlora {

Frame MakeFrame(std::span<const uint8_t> body) {
    auto frame = std::make_shared<Bytes>();
    frame->reserve(LengthPrefixSize + body.size());
    AppendFrame(*frame, body);
    return frame;
}

void AppendFrame(Bytes& out, std::span<const uint8_t> body) {
    assert(!body.empty() && body.size() <= static_cast<size_t>(MaxBodyLength));
    AppendInt32(out, static_cast<int32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

void ReceiveBuffer::Append(std::span<const uint8_t> bytes) {
    // Taken messages are dropped from the front only once they make up half the buffer, so
    // a burst of small messages costs one move, not one per message.
    if (start_ > 0 && start_ >= bytes_.size() / 2) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(start_));
        start_ = 0;
    }
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

FrameStatus ReceiveBuffer::Status() const {
    if (Size() < LengthPrefixSize) {
        return FrameStatus::Incomplete;
    }
    const int32_t length = ReadInt32(bytes_.data() + start_);
    if (length <= 0 || length > MaxBodyLength) {
        return FrameStatus::Broken;
    }
    return Size() - LengthPrefixSize >= static_cast<size_t>(length) ? FrameStatus::Complete
                                                                    : FrameStatus::Incomplete;
}

Bytes ReceiveBuffer::TakeBody() {
    assert(Status() == FrameStatus::Complete);
    const auto length = static_cast<size_t>(ReadInt32(bytes_.data() + start_));
    const auto body = bytes_.begin() + static_cast<ptrdiff_t>(start_ + LengthPrefixSize);
    Bytes taken(body, body + static_cast<ptrdiff_t>(length));
    start_ += LengthPrefixSize + length;
    if (start_ == bytes_.size()) {
        bytes_.clear();
        start_ = 0;
    }
    return taken;
}

}  // namespace tavlora
