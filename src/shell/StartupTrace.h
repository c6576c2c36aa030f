// SPDX-License-Identifier: GPL-3.0-or-later
// With VESKO_TRACE_STARTUP=1, each stage of a windowed start prints to standard error how
// long after the process started it was reached; otherwise nothing is printed.
#pragma once

namespace vesko::StartupTrace {

// `stage` is a short English phrase; each stage is printed once, the first time.
void mark(const char* stage);

} // namespace vesko::StartupTrace
