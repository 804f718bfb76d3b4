// SPDX-License-Identifier: GPL-3.0-or-later
// The program's spine: the start-up, the main loop that runs every window, network poll and
// clock for the rest of the program's life, and the one way out.
#pragma once

#include "platform/window_services.h"
#include "shell/settings_file.h"

namespace tavlora {

// Runs the whole program on the given window services and returns its exit code (always 0:
// the program ends only through EndProgram). The environment locates the settings file.
int Main(WindowServices& services, const SettingsEnvironment& environment);

}  // namespace tavlora
