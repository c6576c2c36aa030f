// SPDX-License-Identifier: GPL-3.0-or-later
// The windowed start: check for a display, hand over to the Vesko that holds the instance
// lock, or take the lock, make the application, run its event loop and save the index when
// it ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko::WindowedApp {

struct Launch {
    std::vector<std::string> arguments;  // argv, the program included
    bool hidden = false;                 // resident with the window hidden (autostart)
    std::optional<std::string> searchIn; // absolute: the folder the searches are limited to
    std::optional<std::string> devRoot;
    std::optional<std::string> devQuery;
    std::optional<std::string> devContents;
    std::optional<std::int64_t> devSelect;
};

// The line printed when neither DISPLAY nor WAYLAND_DISPLAY is set.
extern const char* const noDisplayText;

// The process's exit status: 0 after the loop ended or the running Vesko took the request,
// 1 without a display or when the running Vesko does not answer within a few seconds.
int run(const Launch& launch);

} // namespace vesko::WindowedApp
