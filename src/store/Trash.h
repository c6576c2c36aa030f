// SPDX-License-Identifier: GPL-3.0-or-later
// Moving an item to the Trash by the bytes of its path, in the freedesktop Trash layout:
// the user's own Trash for items on the volume of their data folder, else
// the Trash at the top of the item's own volume (.Trash/UID when the volume has a shared
// sticky .Trash, else .Trash-UID). Done with POSIX calls on the stored bytes, because a
// path through QString is repaired into another name when it is not UTF-8.
#pragma once

#include <string>

namespace vesko::Trash {

struct Moved {
    int error = 0;           // 0, or the errno of the step that failed (nothing moved then)
    std::string trashedPath; // where the item is now, in the Trash's files folder
    std::string infoPath;    // its .trashinfo, holding the original path
};

// Moves `path` (absolute) into the Trash; `homeTrash` is the user's Trash folder
// ($XDG_DATA_HOME/Trash), made with its files and info folders when missing.
Moved move(const std::string& path, const std::string& homeTrash);

} // namespace vesko::Trash
