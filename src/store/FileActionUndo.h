// SPDX-License-Identifier: GPL-3.0-or-later
// What the last trash or rename did, kept so that it can be taken back: the items put in
// the Trash with where each went, or the one name that changed. Taking it back never
// replaces an item that took the old place meanwhile; the item then stays where it is.
#pragma once

#include "store/ActionProblem.h"

#include <optional>
#include <string>
#include <vector>

namespace vesko {

struct FileActionUndo {
    using Problem = std::optional<ActionProblem>;
    enum class Kind { trash, rename };

    // One item in the Trash: its path before, and its path under the Trash's "files".
    struct Trashed {
        std::string original;
        std::string inTrash;
    };

    Kind kind = Kind::trash;
    std::vector<Trashed> trashed;
    std::string folder; // of the renamed item
    std::string oldName;
    std::string newName;

    // Puts an item of a freedesktop Trash back at its original path, then removes its
    // .trashinfo. The .trashinfo must name that path, so an item that another program put
    // in the Trash under the same name since is left alone.
    static Problem restore(const Trashed& item);
    // folder/newName becomes folder/oldName again.
    Problem renameBack() const;
};

} // namespace vesko
