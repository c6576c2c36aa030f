// SPDX-License-Identifier: GPL-3.0-or-later
// Renaming inside one folder without ever replacing what is already at the new name, also
// when it appears while the rename runs. The kernel's RENAME_NOREPLACE does this in one
// step; where a file system refuses the flag, a file is linked then unlinked and a folder
// is moved onto an empty placeholder folder of our own, so the only thing a rename can
// replace is that placeholder.
#pragma once

#include <functional>
#include <string>

namespace vesko {

// Lets tests take the fallback path and act between its steps.
struct RenameFaults {
    bool refuseFlag = false;            // act as a file system that answers EINVAL
    bool refuseLinks = false;           // act as a file system without hard links
    std::function<void()> beforeCommit; // runs just before the step that moves the item
};

// Renames `folder`/`from` to `folder`/`to` (single names, no "/"). Returns 0 or the errno
// of the failure; EEXIST when something is at `to`. Nothing is lost on any failure.
int renameNoReplace(const std::string& folder, const std::string& from, const std::string& to,
                    const RenameFaults* faults = nullptr);
// The same from one folder into another of the same file system (EXDEV otherwise), as
// putting an item back from the Trash does.
int moveNoReplace(const std::string& fromFolder, const std::string& from,
                  const std::string& toFolder, const std::string& to,
                  const RenameFaults* faults = nullptr);

} // namespace vesko
