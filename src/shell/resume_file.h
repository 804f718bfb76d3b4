// SPDX-License-Identifier: GPL-3.0-or-later
// The way back to a running tournament, kept beside Preference.ini while a client's tournament
// runs, so that the program, closed or crashed, can return to it when started again: the
// server's address, the participant's index and ticket, and the file its games are saved in.
// Readable by its user alone, since the secret in it lets anyone take his place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/protocol.h"
#include "shell/settings_file.h"

namespace tavlora {

struct ResumeTicket {
    int32_t ServerIP = 0;  // as the settings file keeps it: the first number in the lowest byte
    int32_t Participant = 0;
    ReturnSecret Secret{};
    int32_t RejoinSeconds = 0;
    std::string GamesFile;  // the PGN file the tournament's games go to; may be empty
    friend bool operator==(const ResumeTicket&, const ResumeTicket&) = default;
};

// The file's text: one "Key = value" line per field.
std::string FormatResumeTicket(const ResumeTicket& ticket);
// The ticket a text holds, or none when a field is missing or out of its range.
std::optional<ResumeTicket> ParseResumeTicket(std::string_view text);

// The settings folder + "/Turnier.ini"; empty when there is no settings folder.
std::string ResumeFilePath(const SettingsEnvironment& environment);
// The ticket of the file, or none when there is no file or none that can be read as one.
std::optional<ResumeTicket> ReadResumeFile(const SettingsEnvironment& environment);
// Replaces the file in one step, mode 0600; false when it cannot be written.
bool WriteResumeFile(const SettingsEnvironment& environment, const ResumeTicket& ticket);
void RemoveResumeFile(const SettingsEnvironment& environment);

}  // namespace tavlora
