// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/protocol.h"

#include <algorithm>
#include <cassert>
#include <concepts>
#include <type_traits>
#include <utility>

#include "net/latin1.h"

namespace tavlora {

namespace {

// The field vocabulary. BodyWriter and BodyReader offer the same operations, so that one
// description of a message's fields (Fields below) encodes and decodes it: the writer gets
// the fields of a const message and appends them, the reader fills them in. Each operation
// returns the coder, so a message's fixed fields read as one row.

class BodyWriter {
public:
    explicit BodyWriter(uint8_t code) { bytes_.push_back(code); }

    BodyWriter& Byte(int32_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    BodyWriter& Int32(int32_t value) {
        AppendInt32(bytes_, value);
        return *this;
    }
    BodyWriter& Text(const std::string& utf8) {
        const std::string latin1 = Utf8ToLatin1(utf8);
        const size_t length = std::min(latin1.size(), MaxTextLength);
        bytes_.insert(bytes_.end(), latin1.begin(), latin1.begin() + length);
        bytes_.push_back(0);
        return *this;
    }
    // A byte that gives the length of a list; the reader refuses one below least.
    BodyWriter& Count(int32_t count, [[maybe_unused]] int32_t least) {
        assert(count >= least && count <= MostParticipants);
        return Byte(count);
    }
    // The items of a list, each through itemFields; length is what the count implies.
    template <typename T, typename F>
    BodyWriter& List(const std::vector<T>& items, [[maybe_unused]] int32_t length, F itemFields) {
        assert(items.size() == static_cast<size_t>(length));
        for (const T& item : items) {
            itemFields(item);
        }
        return *this;
    }
    // A list of any length: an int32 count, then the items.
    template <typename T, typename F>
    BodyWriter& Items(const std::vector<T>& items, F itemFields) {
        Int32(static_cast<int32_t>(items.size()));
        return List(items, static_cast<int32_t>(items.size()), itemFields);
    }
    // Bytes as they are, a fixed number of them.
    template <size_t N>
    BodyWriter& Octets(const std::array<uint8_t, N>& octets) {
        bytes_.insert(bytes_.end(), octets.begin(), octets.end());
        return *this;
    }

    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// Reads the fields after the code. A read past the end, a text without its zero byte or a
// count below its least sets a sticky failure and yields 0 or an empty text, so a message's
// fields are all read and the body is judged once at the end.
class BodyReader {
public:
    explicit BodyReader(std::span<const uint8_t> body) : body_(body) {}

    BodyReader& Byte(int32_t& value) {
        value = 0;
        if (Has(1)) {
            value = static_cast<int8_t>(body_[pos_++]);
        }
        return *this;
    }
    BodyReader& Int32(int32_t& value) {
        value = 0;
        if (Has(4)) {
            value = ReadInt32(body_.data() + pos_);
            pos_ += 4;
        }
        return *this;
    }
    BodyReader& Text(std::string& utf8) {
        const auto rest = body_.subspan(pos_);
        const auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
        if (failed_ || end == rest.end()) {
            failed_ = true;
            return *this;
        }
        pos_ += static_cast<size_t>(end - rest.begin()) + 1;
        utf8 = Latin1ToUtf8(std::string(rest.begin(), end));
        return *this;
    }
    BodyReader& Count(int32_t& count, int32_t least) {
        Byte(count);
        failed_ = failed_ || count < least;
        return *this;
    }
    // Stops at the first failure, so a count the body cannot back costs no more reads.
    template <typename T, typename F>
    BodyReader& List(std::vector<T>& items, int32_t length, F itemFields) {
        for (int32_t i = 0; i < length && !failed_; ++i) {
            itemFields(items.emplace_back());
        }
        return *this;
    }
    // Every item takes at least a byte, so a count beyond what the body holds fails at once.
    template <typename T, typename F>
    BodyReader& Items(std::vector<T>& items, F itemFields) {
        int32_t count = 0;
        Int32(count);
        failed_ = failed_ || count < 0 || static_cast<size_t>(count) > body_.size() - pos_;
        return List(items, count, itemFields);
    }
    template <size_t N>
    BodyReader& Octets(std::array<uint8_t, N>& octets) {
        octets = {};
        if (Has(N)) {
            std::copy_n(body_.begin() + static_cast<ptrdiff_t>(pos_), N, octets.begin());
            pos_ += N;
        }
        return *this;
    }

    // Every field was there and nothing is left over.
    bool Finished() const { return !failed_ && pos_ == body_.size(); }

private:
    bool Has(size_t count) {
        failed_ = failed_ || body_.size() - pos_ < count;
        return !failed_;
    }

    std::span<const uint8_t> body_;
    size_t pos_ = 1;  // past the code
    bool failed_ = false;
};

// Fields(io, m) takes m as const when io writes and mutable when it reads; these name the
// message either way.
template <typename M, typename T>
concept Is = std::same_as<std::remove_const_t<M>, T>;

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
    BodyReader in(body);
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
            BodyWriter out(m.Code);
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

}  // namespace tavlora
