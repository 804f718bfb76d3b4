// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/pgn.h"

#include "rules/san.h"

namespace tavlora {

namespace {

constexpr size_t MaxLine = 79;
// The standard limits a string token to 255 characters.
constexpr size_t MaxTagValue = 255;

void AppendTag(std::string& text, std::string_view name, std::string_view value) {
    std::string quoted;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool escaped = c == '"' || c == '\\';
        if (quoted.size() + (escaped ? 2 : 1) > MaxTagValue) {
            break;
        }
        if (escaped) {
            quoted += '\\';
        }
        // A tag value holds printing characters only; a tab or line end would break the line.
        quoted += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    text += '[';
    text += name;
    text += " \"";
    text += quoted;
    text += "\"]\n";
}

// How the game ended, in the standard's words.
const char* Termination(const GameValue& game, bool abandoned) {
    if (game.Result == Undecided) {
        return "unterminated";
    }
    if (abandoned) {
        return "abandoned";
    }
    return game.State == TimeOut ? "time forfeit" : "normal";
}

// Collects tokens into lines of at most MaxLine characters, never splitting a token.
class LineFiller {
public:
    explicit LineFiller(std::string& text) : text_(text) {}
    void Add(std::string_view token) {
        if (line_ > 0 && line_ + 1 + token.size() > MaxLine) {
            text_ += '\n';
            line_ = 0;
        }
        if (line_ > 0) {
            text_ += ' ';
            ++line_;
        }
        text_ += token;
        line_ += token.size();
    }

private:
    std::string& text_;
    size_t line_ = 0;
};

}  // namespace

const char* ResultToken(int32_t result) {
    switch (result) {
        case White:
            return "1-0";
        case Black:
            return "0-1";
        case Draw:
            return "1/2-1/2";
        default:
            return "*";
    }
}

std::string PgnText(const Game& game, const PgnTags& tags, Lookahead& lookahead) {
    const char* result = ResultToken(game.Result);
    std::string text;
    // The seven-tag roster in its order, then the others in the order of their names.
    AppendTag(text, "Event", tags.Event);
    AppendTag(text, "Site", "?");
    AppendTag(text, "Date", tags.Date);
    AppendTag(text, "Round", "-");
    AppendTag(text, "White", tags.White);
    AppendTag(text, "Black", tags.Black);
    AppendTag(text, "Result", result);
    AppendTag(text, "Termination", Termination(game, tags.Abandoned));
    AppendTag(text, "TimeControl",
              tags.TimeByPlayer > 0 ? std::to_string(int64_t{tags.TimeByPlayer} * 60) : "-");
    text += '\n';

    LineFiller movetext(text);
    GameValue position = InitialPosition(game.BottomColour);
    for (size_t ply = 0; ply < game.History.size(); ++ply) {
        if (ply % 2 == 0) {
            movetext.Add(std::to_string(ply / 2 + 1) + ".");
        }
        movetext.Add(PlaySan(position, game.History[ply], lookahead));
    }
    movetext.Add(result);
    text += "\n\n";
    return text;
}

}  // namespace tavlora
