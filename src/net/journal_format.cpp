// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/journal_format.h"

#include <algorithm>
#include <array>
#include <concepts>
#include <type_traits>

#include "net/discovery.h"

namespace tavlora {

namespace {

// The journal's field vocabulary, in the style of the messages': one description of a
// record's fields (Fields below) for writing and for reading. Texts are UTF-8 with a length,
// since the journal must give back exactly what the server held.

class RecordWriter {
public:
    RecordWriter& Byte(int32_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    RecordWriter& Int32(int32_t value) {
        AppendInt32(bytes_, value);
        return *this;
    }
    RecordWriter& Int64(int64_t value) {
        return Int32(static_cast<int32_t>(value)).Int32(static_cast<int32_t>(value >> 32));
    }
    RecordWriter& Text(const std::string& utf8) {
        Int32(static_cast<int32_t>(utf8.size()));
        bytes_.insert(bytes_.end(), utf8.begin(), utf8.end());
        return *this;
    }
    RecordWriter& Secret(const ReturnSecret& secret) {
        bytes_.insert(bytes_.end(), secret.begin(), secret.end());
        return *this;
    }
    template <typename T, typename F>
    RecordWriter& List(const std::vector<T>& items, int32_t /*length*/, F itemFields) {
        for (const T& item : items) {
            itemFields(item);
        }
        return *this;
    }
    // The rest of the record: a message body as it travels.
    RecordWriter& Body(const Message& message) {
        const Bytes body = EncodeBody(message);
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        return *this;
    }

    Bytes& Out() { return bytes_; }

private:
    Bytes bytes_;
};

// A read past the end or a field out of its range sets a sticky failure, so a record's fields
// are all read and the record is judged once at the end.
class RecordReader {
public:
    explicit RecordReader(std::span<const uint8_t> body) : body_(body) {}

    RecordReader& Byte(int32_t& value) {
        value = Has(1) ? body_[pos_++] : 0;
        return *this;
    }
    RecordReader& Int32(int32_t& value) {
        value = 0;
        if (Has(4)) {
            value = ReadInt32(body_.data() + pos_);
            pos_ += 4;
        }
        return *this;
    }
    RecordReader& Int64(int64_t& value) {
        int32_t low = 0;
        int32_t high = 0;
        Int32(low).Int32(high);
        value = static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 |
                                     static_cast<uint32_t>(low));
        return *this;
    }
    RecordReader& Text(std::string& utf8) {
        int32_t length = 0;
        Int32(length);
        if (length < 0 || !Has(static_cast<size_t>(length))) {
            failed_ = true;
            return *this;
        }
        utf8.assign(reinterpret_cast<const char*>(body_.data() + pos_),
                    static_cast<size_t>(length));
        pos_ += static_cast<size_t>(length);
        return *this;
    }
    RecordReader& Secret(ReturnSecret& secret) {
        if (Has(secret.size())) {
            std::copy_n(body_.begin() + static_cast<std::ptrdiff_t>(pos_), secret.size(),
                        secret.begin());
            pos_ += secret.size();
        }
        return *this;
    }
    // Stops at the first failure, so a count the record cannot back costs no more reads.
    template <typename T, typename F>
    RecordReader& List(std::vector<T>& items, int32_t length, F itemFields) {
        failed_ = failed_ || length < 0;
        for (int32_t i = 0; i < length && !failed_; ++i) {
            itemFields(items.emplace_back());
        }
        return *this;
    }
    RecordReader& Body(Message& message) {
        std::optional<Message> decoded = DecodeBody(body_.subspan(std::min(pos_, body_.size())));
        failed_ = failed_ || !decoded;
        if (decoded) {
            message = std::move(*decoded);
            pos_ = body_.size();
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
    size_t pos_ = 0;
    bool failed_ = false;
};

template <typename E, typename T>
concept Is = std::same_as<std::remove_const_t<E>, T>;

// The fields of each event after the kind and the time.

template <typename Io, Is<JournalStarted> E>
void Fields(Io& io, E& e) {
    int32_t count = static_cast<int32_t>(e.Players.size());
    io.Byte(e.MaxPlayer).Byte(count).Int32(e.TimeByPlayer).Int32(e.TimeByMove);
    io.Int32(e.RejoinSeconds);
    io.List(e.Players, count, [&io](auto& player) {
        io.Text(player.PlayerName).Byte(player.CanReturn).Secret(player.Secret);
    });
    io.List(e.Colours, PairCount(count), [&io](auto& colour) { io.Byte(colour); });
}

template <typename Io, Is<Message> E>
void Fields(Io& io, E& e) {
    io.Body(e);
}

template <typename Io, typename E>
requires Is<E, JournalAway> || Is<E, JournalBack> || Is<E, JournalLeft>
void Fields(Io& io, E& e) {
    io.Byte(e.Participant);
}

template <typename Io, typename E>
requires Is<E, JournalClock> || Is<E, JournalResumed>
void Fields(Io&, E&) {}

template <typename Io, Is<JournalGamesFile> E>
void Fields(Io& io, E& e) {
    io.Int64(e.StartTime).Text(e.Path);
}

template <typename E>
constexpr uint8_t KindOf() {
    constexpr auto index = []<size_t... I>(std::index_sequence<I...>) {
        size_t found = 0;
        ((std::is_same_v<E, std::variant_alternative_t<I, JournalEvent>> ? found = I : 0), ...);
        return found;
    }
    (std::make_index_sequence<std::variant_size_v<JournalEvent>>());
    return static_cast<uint8_t>(index + 1);
}
static_assert(KindOf<JournalAway>() == 3 && KindOf<JournalBack>() == 4 &&
                  KindOf<JournalLeft>() == 5,
              "the participant events carry their kind");

template <typename E>
std::optional<JournalEvent> DecodeAs(std::span<const uint8_t> fields) {
    RecordReader in(fields);
    E event{};
    Fields(in, event);
    if (!in.Finished()) {
        return std::nullopt;
    }
    return JournalEvent(std::in_place_type<E>, std::move(event));
}

std::optional<JournalEvent> DecodeEvent(uint8_t kind, std::span<const uint8_t> fields) {
    using Decoder = std::optional<JournalEvent> (*)(std::span<const uint8_t>);
    static constexpr auto decoders = []<size_t... I>(std::index_sequence<I...>) {
        return std::array<Decoder, sizeof...(I)>{
            &DecodeAs<std::variant_alternative_t<I, JournalEvent>>...};
    }
    (std::make_index_sequence<std::variant_size_v<JournalEvent>>());
    if (kind < 1 || kind > decoders.size()) {
        return std::nullopt;
    }
    return decoders[kind - 1](fields);
}

// CRC-32 (the polynomial of zlib and PNG), from a table made at compile time.
constexpr std::array<uint32_t, 256> CrcTable = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}();

uint32_t Crc32(std::span<const uint8_t> bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (const uint8_t byte : bytes) {
        c = CrcTable[(c ^ byte) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

constexpr size_t RecordPrefixLength = 8;  // length, checksum
constexpr size_t EventPrefixLength = 5;   // kind, time

bool OnlyZeros(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte == 0; });
}

}  // namespace

Bytes EncodeJournalHeader() {
    Bytes out(std::begin(TavloraMagic), std::end(TavloraMagic));
    out.push_back(JournalVersion);
    out.push_back(JournalKind);
    return out;
}

Bytes EncodeJournalRecord(const JournalRecord& record) {
    RecordWriter out;
    out.Int32(0).Int32(0);  // length and checksum, once the rest is there
    std::visit(
        [&out, &record]<typename E>(const E& event) {
            out.Byte(KindOf<E>()).Int32(static_cast<int32_t>(record.At));
            Fields(out, event);
        },
        record.Event);
    Bytes& bytes = out.Out();
    const std::span<const uint8_t> body(bytes.begin() + RecordPrefixLength, bytes.end());
    Bytes prefix;
    AppendInt32(prefix, static_cast<int32_t>(body.size()));
    AppendInt32(prefix, static_cast<int32_t>(Crc32(body)));
    std::copy(prefix.begin(), prefix.end(), bytes.begin());
    return std::move(bytes);
}

JournalContents ReadJournal(std::span<const uint8_t> bytes) {
    JournalContents contents;
    const Bytes header = EncodeJournalHeader();
    if (bytes.size() < header.size()) {
        // Nothing, or a header cut short: the journal of a tournament that never began.
        const bool prefix = std::equal(bytes.begin(), bytes.end(), header.begin());
        contents.End = bytes.empty() ? JournalEnd::Whole
                       : prefix      ? JournalEnd::Torn
                                     : JournalEnd::Damaged;
        return contents;
    }
    if (!std::equal(header.begin(), header.end(), bytes.begin())) {
        contents.End = JournalEnd::Damaged;
        return contents;
    }
    size_t pos = header.size();
    contents.WholeLength = pos;
    const auto damaged = [&contents] {
        contents.End = JournalEnd::Damaged;
        contents.Records.clear();
        return contents;
    };
    while (pos < bytes.size()) {
        const std::span<const uint8_t> rest = bytes.subspan(pos);
        if (rest.size() < RecordPrefixLength) {
            contents.End = JournalEnd::Torn;
            return contents;
        }
        const auto length = static_cast<uint32_t>(ReadInt32(rest.data()));
        const auto checksum = static_cast<uint32_t>(ReadInt32(rest.data() + 4));
        if (length < EventPrefixLength || length > MaxJournalRecord) {
            // A power cut may leave the file longer than what reached the disk, filled with
            // zeros: that is an end, not damage.
            if (OnlyZeros(rest)) {
                contents.End = JournalEnd::Torn;
                return contents;
            }
            return damaged();
        }
        if (rest.size() - RecordPrefixLength < length) {
            contents.End = JournalEnd::Torn;
            return contents;
        }
        const std::span<const uint8_t> body = rest.subspan(RecordPrefixLength, length);
        const bool last = rest.size() == RecordPrefixLength + length;
        if (Crc32(body) != checksum) {
            if (!last) {
                return damaged();
            }
            contents.End = JournalEnd::Torn;
            return contents;
        }
        std::optional<JournalEvent> event = DecodeEvent(body[0], body.subspan(EventPrefixLength));
        if (!event) {
            return damaged();
        }
        contents.Records.push_back(
            {static_cast<uint32_t>(ReadInt32(body.data() + 1)), std::move(*event)});
        pos += RecordPrefixLength + length;
        contents.WholeLength = pos;
    }
    return contents;
}

}  // namespace tavlora
