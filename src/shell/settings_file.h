// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file Preference.ini, which keeps the settings window's inputs and the lobby's
// choice of the next game from one start to the next: where it lives, its line syntax, the
// keys with their defaults, and which keys each way to play writes. Problems with the file are
// never reported; they give defaults.
#pragma once

#include <cstdint>
#include <string>

namespace tavlora {

// PlayerMode, and the tab of the settings window that shows each way to play.
enum PlayerModeValue : int32_t {
    ServerMode = 0,
    ClientMode = 1,
    SinglePlayerMode = 2,
};

// The values the file keeps; their defaults belong to LoadSettings. Texts are UTF-8 whatever
// the file's own encoding.
struct Settings {
    std::string Name;
    int32_t PlayerMode = 0;
    int32_t MaxPlayer = 0;
    int32_t TimeByPlayer = 0;  // minutes, 0 = no limit
    int32_t TimeByMove = 0;    // minutes, 0 = no limit
    std::string Name2;
    // The address a.b.c.d as a + b*256 + c*65536 + d*16777216, as a signed number: the
    // first number of the address is the lowest byte.
    int32_t ServerIP = 0;
    // The host's grace time for a participant whose connection ended after the start, in
    // seconds; 0: he leaves at once. Taken within 0 .. MaxRejoinSeconds.
    int32_t RejoinSeconds = 0;
    // "Nach dem Zug zum nächsten Spiel" in the lobby: 1 ticked, 0 not.
    int32_t NextGameAfterMove = 0;
};

// What the file's place and its defaults depend on. The program takes it from the process
// (ProcessSettingsEnvironment); tests build their own.
struct SettingsEnvironment {
    std::string AppDataFolder;  // the user's application-data folder; empty: nowhere to keep it
    std::string HostName;       // the default of Name and Name2
};

// Place of the file

// The application-data folder from the values of APPDATA, XDG_CONFIG_HOME and HOME (each
// null when unset): APPDATA when it is not empty, else the XDG configuration folder.
// Empty when none of them names a folder.
std::string FindAppDataFolder(const char* appData, const char* xdgConfigHome, const char* home);

// The environment of this process, with the computer's host name from the platform layer.
SettingsEnvironment ProcessSettingsEnvironment(std::string hostName);

// AppDataFolder + "/Zendrik/Tavlora", the folder of the settings file and of the saved games;
// empty when AppDataFolder is.
std::string SettingsFolderPath(const SettingsEnvironment& environment);

// The same folder, made one folder at a time where it is missing; a folder that cannot be
// made is passed over, so the path may name nothing.
std::string MakeSettingsFolder(const SettingsEnvironment& environment);

// The settings folder + "/Preference.ini"; empty when AppDataFolder is.
std::string SettingsFilePath(const SettingsEnvironment& environment);

// Reading and writing

// Every key of the file, or its default where the key or the whole file is missing or the
// file cannot be read. Writes nothing.
Settings LoadSettings(const SettingsEnvironment& environment);

// Writes Name and PlayerMode = tab, then by tab (a PlayerModeValue): for a server MaxPlayer
// and the two time limits; for a client ServerIP; for single player Name2 and the two time
// limits. values.PlayerMode is not used. Keys present keep their line, missing ones are added
// before the first group header; every other line stays. The old file is replaced in one
// step, so it is never left half-written; when it cannot be written it stays as it was.
void SaveSettings(const SettingsEnvironment& environment, int32_t tab, const Settings& values);

// Writes NextGameAfterMove alone, 1 or 0, in the same way: the lobby keeps its check box as
// the user changes it.
void SaveNextGameAfterMove(const SettingsEnvironment& environment, bool on);

}  // namespace tavlora
