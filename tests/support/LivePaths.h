// SPDX-License-Identifier: GPL-3.0-or-later
// The two sides every live-update comparison checks: the paths an index holds as live, and
// the paths a tree holds on disk, both as the stored bytes.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "support/TempTree.h"

#include <set>
#include <string>

namespace vesko::test {

std::multiset<std::string> livePaths(const FileIndex& index, const NameTable& names);
std::multiset<std::string> diskPaths(const TempTree& tree);

} // namespace vesko::test
