// SPDX-License-Identifier: GPL-3.0-or-later
// The field vocabulary of everything the program puts on the wire: the bodies of the TCP
// messages and the datagrams of the search for lobbies. BodyWriter and BodyReader offer the
// same operations, so one description of a record's fields (a Fields function beside the
// record's codec) both encodes and decodes it: the writer gets the fields of a const record
// and appends them, the reader fills them in. Each operation returns the coder, so a
// record's fixed fields read as one row.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "net/latin1.h"
#include "net/wire_bytes.h"

namespace tavlora {

// Participant indexes and counts travel as bytes that arrive unchanged only up to 127.
constexpr int32_t MostParticipants = 127;

// "TVLR": the datagrams of the search for lobbies and the messages of the way back after a
// dropped connection open with it.
inline constexpr std::array<uint8_t, 4> TavloraMagic = {'T', 'V', 'L', 'R'};

// A text is cut to this many bytes when it is encoded, so that every message the program
// builds stays within MaxBodyLength: a welcome listing 126 such names is still below it.
constexpr size_t MaxTextLength = 8000;

// Fields(io, m) takes m as const when io writes and mutable when it reads; this names the
// record either way.
template <typename M, typename T>
concept Is = std::same_as<std::remove_const_t<M>, T>;

class BodyWriter {
public:
    // Signed and unsigned numbers alike keep their low 8 bits.
    BodyWriter& Byte(int32_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    BodyWriter& Int32(int32_t value) {
        AppendInt32(bytes_, value);
        return *this;
    }
    BodyWriter& UInt32(uint32_t value) { return Int32(static_cast<int32_t>(value)); }
    // Latin-1, cut to MaxTextLength, and a zero byte.
    BodyWriter& Text(const std::string& utf8) {
        const std::string latin1 = Utf8ToLatin1(utf8);
        const size_t length = std::min(latin1.size(), MaxTextLength);
        bytes_.insert(bytes_.end(), latin1.begin(), latin1.begin() + length);
        bytes_.push_back(0);
        return *this;
    }
    // A length byte, then Latin-1 cut to most characters, without a zero byte; the reader
    // refuses a length below least.
    BodyWriter& PrefixedText(const std::string& utf8, [[maybe_unused]] size_t least, size_t most) {
        assert(most <= 255);
        const std::string latin1 = Utf8ToLatin1(utf8);
        const size_t length = std::min(latin1.size(), most);
        bytes_.push_back(static_cast<uint8_t>(length));
        bytes_.insert(bytes_.end(), latin1.begin(), latin1.begin() + length);
        return *this;
    }
    // Bytes that are always the same (a magic, a version); the reader refuses any other.
    BodyWriter& Magic(std::span<const uint8_t> bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
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
    // Bytes as they are, a fixed number of them, whatever they hold (a secret).
    template <size_t N>
    BodyWriter& Octets(const std::array<uint8_t, N>& octets) {
        bytes_.insert(bytes_.end(), octets.begin(), octets.end());
        return *this;
    }

    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

// Reads the fields from the first byte given on. A read past the end, a text without its zero
// byte, a prefixed text out of its lengths or with a zero byte, other bytes than the magic or
// a count below its least sets a sticky failure and yields 0 or an empty text, so a record's
// fields are all read and the bytes are judged once at the end.
class BodyReader {
public:
    explicit BodyReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    BodyReader& Byte(int32_t& value) {
        value = 0;
        if (Has(1)) {
            value = static_cast<int8_t>(bytes_[pos_++]);
        }
        return *this;
    }
    BodyReader& Int32(int32_t& value) {
        value = 0;
        if (Has(4)) {
            value = ReadInt32(bytes_.data() + pos_);
            pos_ += 4;
        }
        return *this;
    }
    BodyReader& UInt32(uint32_t& value) {
        int32_t bits = 0;
        Int32(bits);
        value = static_cast<uint32_t>(bits);
        return *this;
    }
    BodyReader& Text(std::string& utf8) {
        const auto rest = bytes_.subspan(pos_);
        const auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
        if (failed_ || end == rest.end()) {
            failed_ = true;
            return *this;
        }
        pos_ += static_cast<size_t>(end - rest.begin()) + 1;
        utf8 = Latin1ToUtf8(std::string(rest.begin(), end));
        return *this;
    }
    BodyReader& PrefixedText(std::string& utf8, size_t least, size_t most) {
        const size_t length = Has(1) ? bytes_[pos_++] : 0;
        if (length < least || length > most || !Has(length)) {
            failed_ = true;
            return *this;
        }
        const auto text = bytes_.subspan(pos_, length);
        failed_ = failed_ || std::find(text.begin(), text.end(), uint8_t{0}) != text.end();
        pos_ += length;
        utf8 = Latin1ToUtf8(std::string(text.begin(), text.end()));
        return *this;
    }
    BodyReader& Magic(std::span<const uint8_t> bytes) {
        failed_ = failed_ || !Has(bytes.size()) ||
                  !std::equal(bytes.begin(), bytes.end(), bytes_.begin() + pos_);
        pos_ += failed_ ? 0 : bytes.size();
        return *this;
    }
    BodyReader& Count(int32_t& count, int32_t least) {
        Byte(count);
        failed_ = failed_ || count < least;
        return *this;
    }
    // Stops at the first failure, so a count the bytes cannot back costs no more reads.
    template <typename T, typename F>
    BodyReader& List(std::vector<T>& items, int32_t length, F itemFields) {
        for (int32_t i = 0; i < length && !failed_; ++i) {
            itemFields(items.emplace_back());
        }
        return *this;
    }
    // Every item takes at least a byte, so a count beyond what is left fails at once.
    template <typename T, typename F>
    BodyReader& Items(std::vector<T>& items, F itemFields) {
        int32_t count = 0;
        Int32(count);
        failed_ = failed_ || count < 0 || static_cast<size_t>(count) > bytes_.size() - pos_;
        return List(items, count, itemFields);
    }
    template <size_t N>
    BodyReader& Octets(std::array<uint8_t, N>& octets) {
        octets = {};
        if (Has(N)) {
            std::copy_n(bytes_.begin() + static_cast<ptrdiff_t>(pos_), N, octets.begin());
            pos_ += N;
        }
        return *this;
    }

    // Every field was there and nothing is left over.
    bool Finished() const { return !failed_ && pos_ == bytes_.size(); }

private:
    bool Has(size_t count) {
        failed_ = failed_ || bytes_.size() - pos_ < count;
        return !failed_;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace tavlora
