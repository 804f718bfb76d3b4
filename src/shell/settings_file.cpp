// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace tavlora {
namespace {

// The keys

constexpr unsigned TabBit(int32_t tab) {
    return 1u << tab;
}
constexpr unsigned AllTabs = TabBit(ServerMode) | TabBit(ClientMode) | TabBit(SinglePlayerMode);
constexpr unsigned TimeLimitTabs = TabBit(ServerMode) | TabBit(SinglePlayerMode);

// One row per key, in the order a new file receives them: the only place that names a key or
// gives its default. A text key (Text set) defaults to the host name.
struct SettingsKey {
    std::string_view Key;
    std::string Settings::*Text;
    int32_t Settings::*Number;
    int32_t NumberDefault;
    unsigned WrittenByTabs;  // TabBit of each way to play that writes the key; 0: its own writer
};

constexpr std::array<SettingsKey, 9> kSettingsKeys = {{
    {"Name", &Settings::Name, nullptr, 0, AllTabs},
    {"PlayerMode", nullptr, &Settings::PlayerMode, ClientMode, AllTabs},
    {"MaxPlayer", nullptr, &Settings::MaxPlayer, 8, TabBit(ServerMode)},
    {"TimeByPlayer", nullptr, &Settings::TimeByPlayer, 0, TimeLimitTabs},
    {"TimeByMove", nullptr, &Settings::TimeByMove, 0, TimeLimitTabs},
    {"Name2", &Settings::Name2, nullptr, 0, TabBit(SinglePlayerMode)},
    {"ServerIP", nullptr, &Settings::ServerIP, 16777343, TabBit(ClientMode)},  // 127.0.0.1
    {"RejoinSeconds", nullptr, &Settings::RejoinSeconds, 120, TabBit(ServerMode)},
    {"NextGameAfterMove", nullptr, &Settings::NextGameAfterMove, 1, 0},
}};

constexpr std::string_view kCompanyFolder = "Zendrik";
constexpr std::string_view kProgramFolder = "Tavlora";
constexpr std::string_view kFileName = "Preference.ini";

// Text and its encoding

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view kLineEnd = "\r\n";

// Lines are kept in the file's own encoding as they were read, so the lines the program does
// not touch go back byte for byte; only the values it reads or writes are converted.
enum class Encoding { Utf8WithMark, Utf8, Latin1 };

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimStart(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The length of the valid UTF-8 sequence that text begins with, 0 when it begins with none:
// overlong forms, surrogates and code points above U+10FFFF are not valid.
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

// A value of the file as the program's UTF-8.
std::string DecodeText(std::string_view raw, Encoding encoding) {
    std::string text;
    for (size_t length = 0; !raw.empty(); raw.remove_prefix(length)) {
        const auto lead = static_cast<unsigned char>(raw.front());
        if (encoding == Encoding::Latin1) {
            length = 1;
            if (lead < 0x80) {
                text += raw.front();
            } else {
                text += static_cast<char>(0xC0 | (lead >> 6));
                text += static_cast<char>(0x80 | (lead & 0x3F));
            }
            continue;
        }
        // A file marked as UTF-8 may still hold stray bytes; they must not reach Qt as they are.
        length = Utf8SequenceLength(raw);
        if (length == 0) {
            length = 1;
            text += kReplacementCharacter;
        } else {
            text += raw.substr(0, length);
        }
    }
    return text;
}

// A value of the program in the file's encoding. What Latin-1 cannot carry becomes "?", and
// a line end becomes a blank, since it would cut the value's line in two.
std::string EncodeText(std::string_view text, Encoding encoding) {
    std::string raw;
    for (size_t length = 0; !text.empty(); text.remove_prefix(length)) {
        length = Utf8SequenceLength(text);
        const auto lead = static_cast<unsigned char>(text.front());
        if (length == 1) {
            raw += lead == '\r' || lead == '\n' ? ' ' : text.front();
        } else if (length == 0) {
            length = 1;
            raw += encoding == Encoding::Latin1 ? "?" : kReplacementCharacter;
        } else if (encoding != Encoding::Latin1) {
            raw += text.substr(0, length);
        } else if (length == 2 && lead <= 0xC3) {
            raw += static_cast<char>(((lead & 0x03) << 6) | (text[1] & 0x3F));
        } else {
            raw += '?';
        }
    }
    return raw;
}

// Lines and keys

// The file as read: its lines without their ends, in the file's own encoding.
struct IniFile {
    Encoding TextEncoding = Encoding::Utf8;
    std::vector<std::string> Lines;
};

// The length of the line end that text begins with: CR LF, CR or LF; 0 for none.
size_t LineEndLength(std::string_view text) {
    if (text.starts_with(kLineEnd)) {
        return kLineEnd.size();
    }
    return text.starts_with('\r') || text.starts_with('\n') ? 1 : 0;
}

IniFile ParseIni(std::string_view content) {
    IniFile file;
    if (content.starts_with(kByteOrderMark)) {
        file.TextEncoding = Encoding::Utf8WithMark;
        content.remove_prefix(kByteOrderMark.size());
        // The mark is written on a line of its own. That line end belongs to the mark, not to
        // an empty first line, or every rewrite would add one more.
        content.remove_prefix(LineEndLength(content));
    } else if (!IsValidUtf8(content)) {
        // Not UTF-8, so most likely from a system whose 8-bit code page is Latin-1.
        file.TextEncoding = Encoding::Latin1;
    }
    while (!content.empty()) {
        const size_t end = std::min(content.find_first_of("\r\n"), content.size());
        file.Lines.emplace_back(content.substr(0, end));
        content.remove_prefix(end);
        content.remove_prefix(LineEndLength(content));
    }
    return file;
}

std::string FormatIni(const IniFile& file) {
    std::string content;
    if (file.TextEncoding == Encoding::Utf8WithMark) {
        content += kByteOrderMark;
        content += kLineEnd;
    }
    for (const std::string& line : file.Lines) {
        std::string_view comment = TrimStart(line);
        if (comment.starts_with(';')) {
            // A comment is written as "; " and its text, of which one blank after the ";" was
            // taken for the separator when it was read.
            comment.remove_prefix(1);
            if (comment.starts_with(' ')) {
                comment.remove_prefix(1);
            }
            content += "; ";
            content += comment;
        } else {
            content += line;
        }
        content += kLineEnd;
    }
    return content;
}

bool IsGroupHeader(std::string_view line) {
    return TrimStart(line).starts_with('[');
}

struct KeyLine {
    std::string_view Key;
    std::string_view Value;  // from the first character after the "=" and its blanks
};

// Empty lines, comments and group headers have no key.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    line = TrimStart(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') {
        return std::nullopt;
    }
    const size_t equals = std::min(line.find('='), line.size());
    const std::string_view value = equals < line.size() ? line.substr(equals + 1) : "";
    return KeyLine{TrimEnd(line.substr(0, equals)), TrimStart(value)};
}

bool SameKey(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::ranges::equal(a, b, {}, lower, lower);
}

struct FoundKey {
    size_t Line;
    std::string_view Value;
};

// The first line with the key, regardless of letter case. The program uses no group, so only
// the lines before the first group header count.
std::optional<FoundKey> FindKey(const IniFile& file, std::string_view key) {
    for (size_t i = 0; i < file.Lines.size() && !IsGroupHeader(file.Lines[i]); ++i) {
        const std::optional<KeyLine> keyLine = ParseKeyLine(file.Lines[i]);
        if (keyLine && SameKey(keyLine->Key, key)) {
            return FoundKey{i, keyLine->Value};
        }
    }
    return std::nullopt;
}

// Where added keys go: after the last line before the first group header.
size_t InsertionPlace(const IniFile& file) {
    return std::ranges::find_if(file.Lines, IsGroupHeader) - file.Lines.begin();
}

// The first decimal integer of a value with an optional sign, 0 when the value does not
// begin with one. It wraps to 32 bits as the settings window's fields do, so an address
// written as an unsigned number still reads right.
int32_t ReadNumber(std::string_view value) {
    const bool negative = value.starts_with('-');
    if (negative || value.starts_with('+')) {
        value.remove_prefix(1);
    }
    uint32_t number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    return static_cast<int32_t>(negative ? 0u - number : number);
}

// The file itself

// Far beyond any settings file; a larger file is taken as unreadable rather than loaded.
constexpr size_t kMaxFileSize = 1 << 20;

// Writes the keys that `written` selects with their values: keys present keep their line,
// missing ones are added before the first group header, every other line stays. The old file
// is replaced in one step; when it cannot be written it stays as it was.
void WriteKeys(const SettingsEnvironment& environment, const Settings& values,
               const std::function<bool(const SettingsKey&)>& written) {
    std::string path = SettingsFilePath(environment);
    if (path.empty()) {
        return;
    }
    MakeSettingsFolder(environment);
    // A link is followed, so that the file it names is replaced and not the link itself.
    if (char* target = realpath(path.c_str(), nullptr)) {
        path = target;
        std::free(target);
    }

    const std::optional<std::string> content = ReadWholeFile(path, kMaxFileSize);
    if (!content) {
        return;
    }
    std::optional<mode_t> mode;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        // Renaming over a write-protected file would succeed; such a file is left alone.
        if (access(path.c_str(), W_OK) != 0) {
            return;
        }
        mode = status.st_mode & 07777;
    }

    IniFile file = ParseIni(*content);
    size_t insertAt = InsertionPlace(file);
    for (const SettingsKey& key : kSettingsKeys) {
        if (!written(key)) {
            continue;
        }
        std::string line(key.Key);
        line += " = ";
        line += key.Text ? EncodeText(values.*key.Text, file.TextEncoding)
                         : std::to_string(values.*key.Number);
        if (const std::optional<FoundKey> found = FindKey(file, key.Key)) {
            file.Lines[found->Line] = std::move(line);
        } else {
            file.Lines.insert(file.Lines.begin() + static_cast<ptrdiff_t>(insertAt++),
                              std::move(line));
        }
    }
    ReplaceFile(path, FormatIni(file), mode);
}

}  // namespace

std::string FindAppDataFolder(const char* appData, const char* xdgConfigHome, const char* home) {
    if (appData && *appData) {
        return appData;
    }
    // XDG ignores a configuration folder that is not given as an absolute path.
    if (xdgConfigHome && *xdgConfigHome == '/') {
        return xdgConfigHome;
    }
    if (home && *home) {
        return std::string(home) + "/.config";
    }
    return {};
}

SettingsEnvironment ProcessSettingsEnvironment(std::string hostName) {
    return {FindAppDataFolder(std::getenv("APPDATA"), std::getenv("XDG_CONFIG_HOME"),
                              std::getenv("HOME")),
            std::move(hostName)};
}

std::string SettingsFolderPath(const SettingsEnvironment& environment) {
    if (environment.AppDataFolder.empty()) {
        return {};
    }
    std::string path = environment.AppDataFolder;
    for (const std::string_view part : {kCompanyFolder, kProgramFolder}) {
        path += '/';
        path += part;
    }
    return path;
}

std::string MakeSettingsFolder(const SettingsEnvironment& environment) {
    if (environment.AppDataFolder.empty()) {
        return {};
    }
    // On Linux the configuration folder itself may be missing on a fresh account.
    std::string folder = environment.AppDataFolder;
    mkdir(folder.c_str(), 0700);
    for (const std::string_view part : {kCompanyFolder, kProgramFolder}) {
        folder += '/';
        folder += part;
        mkdir(folder.c_str(), 0777);
    }
    return folder;
}

std::string SettingsFilePath(const SettingsEnvironment& environment) {
    const std::string folder = SettingsFolderPath(environment);
    return folder.empty() ? folder : folder + '/' + std::string(kFileName);
}

Settings LoadSettings(const SettingsEnvironment& environment) {
    const std::string path = SettingsFilePath(environment);
    const IniFile file =
        ParseIni(path.empty() ? "" : ReadWholeFile(path, kMaxFileSize).value_or(""));
    Settings settings;
    for (const SettingsKey& key : kSettingsKeys) {
        const std::optional<FoundKey> found = FindKey(file, key.Key);
        if (key.Text) {
            settings.*key.Text =
                found ? DecodeText(TrimEnd(found->Value), file.TextEncoding) : environment.HostName;
        } else {
            settings.*key.Number = found ? ReadNumber(found->Value) : key.NumberDefault;
        }
    }
    return settings;
}

void SaveSettings(const SettingsEnvironment& environment, int32_t tab, const Settings& values) {
    assert(tab == ServerMode || tab == ClientMode || tab == SinglePlayerMode);
    Settings written = values;
    written.PlayerMode = tab;
    WriteKeys(environment, written,
              [tab](const SettingsKey& key) { return (key.WrittenByTabs & TabBit(tab)) != 0; });
}

void SaveNextGameAfterMove(const SettingsEnvironment& environment, bool on) {
    Settings values;
    values.NextGameAfterMove = on ? 1 : 0;
    WriteKeys(environment, values,
              [](const SettingsKey& key) { return key.Number == &Settings::NextGameAfterMove; });
}

}  // namespace tavlora
