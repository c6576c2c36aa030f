// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko`: the command line answers itself and starts the window's executable for the rest,
// so a script's run never loads the window's libraries.
#include "app/DevOptions.h"
#include "app/EntryPoint.h"

int main(int argc, char** argv) {
    vesko::DevOptions::setArguments(argc, argv);
    return vesko::EntryPoint::runCommandLine(vesko::DevOptions::arguments());
}
