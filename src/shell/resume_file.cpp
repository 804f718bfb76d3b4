// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/resume_file.h"

#include <unistd.h>

#include <charconv>

#include "net/return_desk.h"
#include "platform/files.h"

namespace tavlora {

namespace {

constexpr std::string_view FileName = "Turnier.ini";
constexpr size_t MostFileBytes = 64 * 1024;
constexpr char Digits[] = "0123456789abcdef";

std::string Hex(const ReturnSecret& secret) {
    std::string text;
    for (const uint8_t byte : secret) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}

std::optional<ReturnSecret> ParseHex(std::string_view text) {
    ReturnSecret secret{};
    if (text.size() != 2 * secret.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i < secret.size(); ++i) {
        if (std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, secret[i], 16).ptr !=
            text.data() + 2 * i + 2) {
            return std::nullopt;
        }
    }
    return secret;
}

std::optional<int32_t> ParseNumber(std::string_view text, int32_t least, int32_t most) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least || value > most) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string FormatResumeTicket(const ResumeTicket& ticket) {
    return "ServerIP = " + std::to_string(ticket.ServerIP) + "\n" +
           "Participant = " + std::to_string(ticket.Participant) + "\n" +
           "Secret = " + Hex(ticket.Secret) + "\n" +
           "RejoinSeconds = " + std::to_string(ticket.RejoinSeconds) + "\n" +
           "GamesFile = " + ticket.GamesFile + "\n";
}

std::optional<ResumeTicket> ParseResumeTicket(std::string_view text) {
    std::optional<int32_t> serverIp;
    std::optional<int32_t> participant;
    std::optional<ReturnSecret> secret;
    std::optional<int32_t> rejoinSeconds;
    std::optional<std::string> gamesFile;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t separator = line.find(" = ");
        if (separator == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, separator);
        const std::string_view value = line.substr(separator + 3);
        if (key == "ServerIP") {
            serverIp = ParseNumber(value, INT32_MIN, INT32_MAX);
        } else if (key == "Participant") {
            participant = ParseNumber(value, 1, MostParticipants - 1);
        } else if (key == "Secret") {
            secret = ParseHex(value);
        } else if (key == "RejoinSeconds") {
            rejoinSeconds = ParseNumber(value, 1, MaxRejoinSeconds);
        } else if (key == "GamesFile") {
            gamesFile = std::string(value);
        }
    }
    if (!serverIp || !participant || !secret || !rejoinSeconds || !gamesFile) {
        return std::nullopt;
    }
    return ResumeTicket{*serverIp, *participant, *secret, *rejoinSeconds, *gamesFile};
}

std::string ResumeFilePath(const SettingsEnvironment& environment) {
    const std::string folder = SettingsFolderPath(environment);
    return folder.empty() ? folder : folder + '/' + std::string(FileName);
}

std::optional<ResumeTicket> ReadResumeFile(const SettingsEnvironment& environment) {
    const std::string path = ResumeFilePath(environment);
    const std::optional<std::string> text =
        path.empty() ? std::nullopt : ReadWholeFile(path, MostFileBytes);
    return text ? ParseResumeTicket(*text) : std::nullopt;
}

bool WriteResumeFile(const SettingsEnvironment& environment, const ResumeTicket& ticket) {
    const std::string path = ResumeFilePath(environment);
    MakeSettingsFolder(environment);
    return !path.empty() && ReplaceFile(path, FormatResumeTicket(ticket), 0600);
}

void RemoveResumeFile(const SettingsEnvironment& environment) {
    const std::string path = ResumeFilePath(environment);
    if (!path.empty()) {
        unlink(path.c_str());
    }
}

}  // namespace tavlora
