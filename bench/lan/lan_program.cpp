// SPDX-License-Identifier: GPL-3.0-or-later
// The program itself, started as a server or a client by a scripted user instead of a person:
// its own start-up, settings window, lobby, Game window and main loop on the Qt backend.
// lan_program server|client [Qt options]; the settings file decides the rest.
#include <cstdio>
#include <cstring>

#include "lan/scripted_services.h"
#include "platform/system.h"
#include "shell/program.h"

int main(int argc, char** argv) {
    using namespace tavlora;
    if (argc < 2 || (std::strcmp(argv[1], "server") != 0 && std::strcmp(argv[1], "client") != 0)) {
        std::fputs("usage: lan_program server|client\n", stderr);
        return 2;
    }
    const ScriptRole role =
        std::strcmp(argv[1], "server") == 0 ? ScriptRole::Server : ScriptRole::Client;
    ScriptedServices services(argc, argv, role);
    return Main(services, ProcessSettingsEnvironment(HostName()));
}
