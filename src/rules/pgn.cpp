// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/pgn.h"

#include <algorithm>
#include <optional>

#include "rules/san.h"

namespace tavlora {

namespace {

constexpr size_t MaxLine = 79;
// The standard limits a string token to 255 characters.
constexpr size_t MaxTagValue = 255;

void AppendTag(std::string& text, std::string_view name, std::string_view value) {
    text += '[';
    text += name;
    text += " \"";
    text += PgnTagValue(value);
    text += "\"]\n";
}

// The value of a tag line "[name "value"]", as it stands between the quotes; none for a line
// that is not such a tag.
std::optional<std::string_view> TagValue(std::string_view line, std::string_view name) {
    const size_t begin = 1 + name.size() + 2;
    if (!line.starts_with('[') || !line.substr(1).starts_with(name) ||
        !line.substr(1 + name.size()).starts_with(" \"") || line.size() < begin + 2 ||
        !line.ends_with("\"]")) {
        return std::nullopt;
    }
    return line.substr(begin, line.size() - 2 - begin);
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

std::string PgnTagValue(std::string_view value) {
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
    return quoted;
}

std::vector<PgnPlayers> FinishedPgnGames(std::string_view text) {
    std::vector<PgnPlayers> games;
    PgnPlayers players;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (const auto white = TagValue(line, "White")) {
            players.White = *white;
        } else if (const auto black = TagValue(line, "Black")) {
            players.Black = *black;
        } else if (const auto result = TagValue(line, "Result"); result && *result != "*") {
            games.push_back(players);
        }
    }
    return games;
}

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
