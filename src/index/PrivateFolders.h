// SPDX-License-Identifier: GPL-3.0-or-later
// Folders Vesko makes for the user's own data (cache, autostart, Trash): missing parents
// included, each new one private to the user.
#pragma once

#include <string>

namespace vesko {

// Creates `path` and its missing parents with mode 0700; folders that exist are left as they
// are. 0 when `path` is a folder afterwards, else the errno of the step that failed.
int makePrivateFolders(const std::string& path);

} // namespace vesko
