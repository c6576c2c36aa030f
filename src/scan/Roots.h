// SPDX-License-Identifier: GPL-3.0-or-later
// The user's excluded folders as they are kept and shown, and the home folder they are
// written against. The build's own root and exclusion rules live with the builder.
#pragma once

#include "index/HomeFolder.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace vesko {

using ExcludedSet = std::unordered_set<std::string>;

namespace Exclusions {

// Tilde expanded, trailing slashes dropped, empty and "/" skipped, nested folders folded
// into their outermost one, sorted ascending.
std::vector<std::string> normalize(const std::vector<std::string>& folders,
                                   const std::string& home);

// Where deleted files wait, which a search must not offer back as if they were still in
// place: the user's Trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) and the
// `.Trash-UID` folder file managers make at the top of every other disk, for each of `tops`
// (the roots and the mounted volumes). Sorted, without duplicates.
std::vector<std::string> trashFolders(const std::string& home,
                                      const std::vector<std::string>& tops);

} // namespace Exclusions

} // namespace vesko
