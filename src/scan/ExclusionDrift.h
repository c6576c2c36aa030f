// SPDX-License-Identifier: GPL-3.0-or-later
// Whether an index was built under other exclusions than the ones in force now. The
// archive keeps no list of them, but the index shows them: an excluded folder is an entry
// without a folder record (its contents never listed), any other folder has one.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "scan/Roots.h"

namespace vesko::ExclusionDrift {

// True when a folder in `excluded` (IndexBuilder::excluded of the index's roots) has its
// contents in the index, or a folder left unlisted is no longer excluded. Deleted entries
// do not count. One pass over the folders and one over the entries.
bool differs(const FileIndex& index, const NameTable& names, const ExcludedSet& excluded);

} // namespace vesko::ExclusionDrift
