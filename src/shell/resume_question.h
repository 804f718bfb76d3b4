// SPDX-License-Identifier: GPL-3.0-or-later
// The question a program asks when it is started again while a tournament it took part in may
// still run: whether to go back into it.
#pragma once

#include <string>

#include "platform/window_services.h"

namespace tavlora {

// The box titled "Tavlora - Turnier fortsetzen" with "Das Turnier auf <address> läuft noch.
// Fortsetzen?" and the buttons "Ja" (the default) and "Nein"; true for "Ja". A client names
// its server's address, the host its own.
bool AskToContinueTournament(WindowServices& services, const std::string& address);

}  // namespace tavlora
