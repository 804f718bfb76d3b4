// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/resume_question.h"

namespace tavlora {

bool AskToContinueTournament(WindowServices& services, const std::string& address) {
    return services.AskYesNo("Tavlora - Turnier fortsetzen",
                             "Das Turnier auf " + address + " läuft noch. Fortsetzen?");
}

}  // namespace tavlora
