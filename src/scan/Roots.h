// SPDX-License-Identifier: MIT
// What is indexed: the roots, normalised so that none lies inside another, and the folders
// that are never listed (fixed system paths, per-root housekeeping folders, the user's own).
// Pure functions: the persisted lists are passed in by the caller.
#pragma once

#include "index/HomeFolder.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace vesko {

using ExcludedSet = std::unordered_set<std::string>;

namespace IndexBuilder {

// The fixed exclusions: the designed four paths plus the Linux pseudo file systems.
const std::vector<std::string>& systemExcludedPaths();

// Trailing slashes dropped ("/" stays "/"), duplicates and roots inside kept roots
// skipped, kept roots inside a new one removed. A root's position is its directory id.
std::vector<std::string> normalize(const std::vector<std::string>& roots);

// The fixed paths, the five per-root folders of every root, and the user's excluded
// folders. Matched by exact path text against each sub-folder's full path.
ExcludedSet excluded(const std::vector<std::string>& roots,
                     const std::vector<std::string>& excludedFolders = {});

} // namespace IndexBuilder

namespace Exclusions {

// Tilde expanded, trailing slashes dropped, empty and "/" skipped, nested folders folded
// into their outermost one, sorted ascending.
std::vector<std::string> normalize(const std::vector<std::string>& folders,
                                   const std::string& home);

// "~" for the home folder, "~/rest" inside it, anything else unchanged.
std::string display(const std::string& path, const std::string& home);

} // namespace Exclusions

} // namespace vesko
