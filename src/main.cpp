// SPDX-License-Identifier: GPL-3.0-or-later
// The program's entry: the Qt backend of the window services, then the shell's start-up.
#include "platform/qt/qt_window_services.h"
#include "platform/system.h"
#include "shell/program.h"

int main(int argc, char** argv) {
    tavlora::QtWindowServices services(argc, argv);
    return tavlora::Main(services, tavlora::ProcessSettingsEnvironment(tavlora::HostName()));
}
