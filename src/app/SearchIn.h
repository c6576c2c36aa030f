// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko --search-in DIR`: the window, with its searches limited to one folder. The folder
// is checked here, before any window starts, so a mistyped one is said on the terminal that
// asked rather than in a window.
#pragma once

#include "app/DevOptions.h"

#include <optional>
#include <string>

namespace vesko::SearchIn {

struct Folder {
    std::string path;    // absolute, the caller's bytes: never decoded, never repaired
    std::string problem; // empty when the folder can be searched
};

// DIR made absolute against the caller's working folder as the caller's shell spells it
// ($PWD when it names the working folder, so a folder reached through a link keeps the name
// the index knows it by), "." and ".." resolved by name; then it must be a readable folder.
Folder resolve(const std::string& dir);

// The arguments with --search-in's folder made absolute; nothing, after saying why on
// stderr, when it cannot be searched. The arguments unchanged without --search-in.
std::optional<Arguments> checked(const Arguments& args);

} // namespace vesko::SearchIn
