// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses what one run of the executable does: a command-line mode, or the application.
#pragma once

#include "app/DevOptions.h"

#include <string>

namespace vesko {

enum class Mode { scan, bench, drift, watch, find, help, version, windowed };

namespace EntryPoint {

// The first rule that applies wins: --scan, --bench, --drift, --watch PROBE, --find,
// --help, --version, and otherwise the windowed application. Unknown arguments are ignored,
// and so is everything after "--", which is the query.
Mode chooseMode(const Arguments& args);

// The arguments before "--": after it every argument is the query, a file named "--scan"
// included, so none of them is an option of the mode.
Arguments optionsOf(const Arguments& all);

std::string usageText();

// What `vesko` does itself, without loading Qt: --find, --help and --version, and the check
// of --search-in's folder. Every other mode, and a sort by kind, runs in the window's
// executable, which it replaces this process with. Returns the process's exit status.
int runCommandLine(const Arguments& args);

} // namespace EntryPoint
} // namespace vesko
