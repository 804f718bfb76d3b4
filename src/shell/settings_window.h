// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window, the program's first: the user names himself and starts one of the
// three ways to play (server, client, single player), each on its own tab. It runs its own
// event loop until that way to play is set up, then keeps the inputs in the settings file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_services.h"
#include "shell/settings_file.h"

namespace tavlora {

struct ProgramState;

// The lobby later takes the same number.
constexpr int SettingsWindowId = 0;

// Fixed identifiers of the settings window's controls.
struct SettingsControls {
    static constexpr int NameField = 0;
    static constexpr int ModePanel = 1;  // current tab: a PlayerModeValue
    // Tab "Server"
    static constexpr int MaxPlayerField = 2;
    static constexpr int TimeByPlayerField = 3;
    static constexpr int TimeByMoveField = 4;
    static constexpr int StartServerButton = 5;
    // Tab "Client"
    static constexpr int ServerIPField = 6;
    static constexpr int ConnectButton = 7;
    static constexpr int ConnectStatus = 8;
    // Tab "Einzelspieler"
    static constexpr int StartSingleButton = 9;
    static constexpr int Name2Field = 10;
    static constexpr int SingleTimeByPlayerField = 11;
    static constexpr int SingleTimeByMoveField = 12;
};

enum class SettingsOutcome {
    Ready,       // a way to play is set up and the settings file written; the window is open
    EndProgram,  // the close box was pressed; nothing was written
};

// Opens the settings window filled from the settings file and runs its loop until a start
// succeeds or the window's close box is pressed. On Ready, OwnPlayerIndex, PlayerCount,
// MaxPlayer, the limits and Players describe the chosen way to play (for a client also
// ServerConnection, the joined server), and the window stays open for the main loop to
// replace by the lobby or to close.
SettingsOutcome RunSettingsWindow(WindowServices& services, ProgramState& state,
                                  const SettingsEnvironment& environment);

// The number in a digits field: blanks and tabs skipped, an optional sign, then the digits up
// to the first other character; 0 when there are none. Very long numbers stop growing far
// beyond every limit the window tests, so a test never sees a value cut to 32 bits.
int64_t FieldNumber(const std::string& text);

}  // namespace tavlora
