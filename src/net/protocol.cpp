#include "net/protocol.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "net/latin1.h"

namespace tavlora {

namespace {

class BodyWriter {
public:
    explicit BodyWriter(uint8_t code) { bytes_.push_back(code); }

    void Byte(int32_t value) { bytes_.push_back(static_cast<uint8_t>(value)); }
    void Int32(int32_t value) { AppendInt32(bytes_, value); }
    void Text(const std::string& utf8) {
        const std::string latin1 = Utf8ToLatin1(utf8);
        const size_t length = std::min(latin1.size(), MaxTextLength);
        bytes_.insert(bytes_.end(), latin1.begin(), latin1.begin() + length);
        bytes_.push_back(0);
    }
    void Record(const Move& move) {
        for (int32_t field :
             {move.FromX, move.FromY, move.ToX, move.ToY, move.Kind, move.Promotion, move.Piece}) {
            Int32(field);
        }
    }

    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// Reads the fields after the code. A read past the end, or a text without its zero byte,
// sets a sticky failure and yields 0 or an empty text, so a decoder reads all its fields
// and asks once at the end whether they were there.
class BodyReader {
public:
    explicit BodyReader(std::span<const uint8_t> body) : body_(body) {}

    int32_t Byte() {
        if (!Has(1)) {
            return 0;
        }
        return static_cast<int8_t>(body_[pos_++]);
    }
    int32_t Int32() {
        if (!Has(4)) {
            return 0;
        }
        const int32_t value = ReadInt32(body_.data() + pos_);
        pos_ += 4;
        return value;
    }
    std::string Text() {
        const auto rest = body_.subspan(pos_);
        const auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
        if (failed_ || end == rest.end()) {
            failed_ = true;
            return {};
        }
        pos_ += static_cast<size_t>(end - rest.begin()) + 1;
        return Latin1ToUtf8(std::string(rest.begin(), end));
    }
    Move Record() {
        Move move{};
        for (int32_t* field : {&move.FromX, &move.FromY, &move.ToX, &move.ToY, &move.Kind,
                               &move.Promotion, &move.Piece}) {
            *field = Int32();
        }
        return move;
    }
    // A count of listed items, which fails the body when below least.
    int32_t Count(int32_t least) {
        const int32_t count = Byte();
        failed_ = failed_ || count < least;
        return count;
    }

    bool Failed() const { return failed_; }
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

// The fields of each message, in wire order: Write and Read are mirror images.

template <uint8_t C>
void Write(BodyWriter&, const RefusalMessage<C>&) {}
template <uint8_t C>
void Read(BodyReader&, RefusalMessage<C>&) {}

void Write(BodyWriter& out, const MsgPlayerLeft& m) {
    out.Byte(m.Index);
    out.Byte(m.PlayerCount);
}
void Read(BodyReader& in, MsgPlayerLeft& m) {
    m.Index = in.Byte();
    m.PlayerCount = in.Byte();
}

void Write(BodyWriter& out, const MsgWelcome& m) {
    assert(m.PlayerCount >= 1 && m.PlayerCount <= MostParticipants);
    assert(m.Players.size() == static_cast<size_t>(m.PlayerCount - 1));
    out.Byte(m.MaxPlayer);
    out.Byte(m.PlayerCount);
    out.Int32(m.TimeByPlayer);
    out.Int32(m.TimeByMove);
    for (const WelcomeEntry& entry : m.Players) {
        out.Text(entry.PlayerName);
        out.Byte(entry.PlayerReady);
    }
}
void Read(BodyReader& in, MsgWelcome& m) {
    m.MaxPlayer = in.Byte();
    m.PlayerCount = in.Count(1);  // the new participant itself is counted but not listed
    m.TimeByPlayer = in.Int32();
    m.TimeByMove = in.Int32();
    for (int32_t i = 0; i < m.PlayerCount - 1 && !in.Failed(); ++i) {
        WelcomeEntry entry;
        entry.PlayerName = in.Text();
        entry.PlayerReady = in.Byte();
        m.Players.push_back(std::move(entry));
    }
}

template <uint8_t C>
void Write(BodyWriter& out, const NameMessage<C>& m) {
    out.Byte(m.Index);
    out.Text(m.PlayerName);
}
template <uint8_t C>
void Read(BodyReader& in, NameMessage<C>& m) {
    m.Index = in.Byte();
    m.PlayerName = in.Text();
}

void Write(BodyWriter& out, const MsgReady& m) {
    out.Byte(m.Index);
    out.Byte(m.PlayerReady);
}
void Read(BodyReader& in, MsgReady& m) {
    m.Index = in.Byte();
    m.PlayerReady = in.Byte();
}

void Write(BodyWriter& out, const MsgStartGames& m) {
    assert(m.PlayerCount >= 0 && m.PlayerCount <= MostParticipants);
    assert(m.Colours.size() == static_cast<size_t>(PairCount(m.PlayerCount)));
    out.Byte(m.PlayerCount);
    for (int32_t colour : m.Colours) {
        out.Byte(colour);
    }
}
void Read(BodyReader& in, MsgStartGames& m) {
    m.PlayerCount = in.Count(0);
    const int32_t pairs = PairCount(m.PlayerCount);
    for (int32_t i = 0; i < pairs && !in.Failed(); ++i) {
        m.Colours.push_back(in.Byte());
    }
}

void Write(BodyWriter& out, const MsgChat& m) {
    out.Byte(m.Index);
    out.Text(m.Text);
}
void Read(BodyReader& in, MsgChat& m) {
    m.Index = in.Byte();
    m.Text = in.Text();
}

void Write(BodyWriter& out, const MsgMove& m) {
    out.Byte(m.Sender);
    out.Byte(m.PlayerIndex[0]);
    out.Byte(m.PlayerIndex[1]);
    out.Int32(m.PlayerTimeLeft);
    out.Int32(m.MoveTimeLeft);
    out.Record(m.Played);
}
void Read(BodyReader& in, MsgMove& m) {
    m.Sender = in.Byte();
    m.PlayerIndex[0] = in.Byte();
    m.PlayerIndex[1] = in.Byte();
    m.PlayerTimeLeft = in.Int32();
    m.MoveTimeLeft = in.Int32();
    m.Played = in.Record();
}

void Write(BodyWriter& out, const MsgTimeout& m) {
    out.Byte(m.Sender);
    out.Byte(m.PlayerIndex[0]);
    out.Byte(m.PlayerIndex[1]);
    out.Int32(m.PlayerTimeLeft);
    out.Int32(m.MoveTimeLeft);
}
void Read(BodyReader& in, MsgTimeout& m) {
    m.Sender = in.Byte();
    m.PlayerIndex[0] = in.Byte();
    m.PlayerIndex[1] = in.Byte();
    m.PlayerTimeLeft = in.Int32();
    m.MoveTimeLeft = in.Int32();
}

template <uint8_t C>
void Write(BodyWriter& out, const GameCommandMessage<C>& m) {
    out.Byte(m.Sender);
    out.Byte(m.PlayerIndex[0]);
    out.Byte(m.PlayerIndex[1]);
}
template <uint8_t C>
void Read(BodyReader& in, GameCommandMessage<C>& m) {
    m.Sender = in.Byte();
    m.PlayerIndex[0] = in.Byte();
    m.PlayerIndex[1] = in.Byte();
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
    Read(in, message);
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
            Write(out, m);
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
