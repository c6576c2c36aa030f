// SPDX-License-Identifier: GPL-3.0-or-later
// The executable that holds the window, which `vesko` becomes for every mode it does not
// answer itself. Installed as lib/vesko/vesko-window beside bin/; in a build folder it lies
// beside `vesko`.
#pragma once

#include "app/DevOptions.h"

#include <string>

namespace vesko::WindowExecutable {

// Where it is for the running `vesko`: beside it when there, else in ../lib/vesko.
std::string path();

// Replaces this process with it, given the same arguments (the process id stays, so the
// single instance and whoever waits for this process see no difference). Returns only when
// it cannot be started, with status 1 after saying why.
int run(const Arguments& args);

} // namespace vesko::WindowExecutable
