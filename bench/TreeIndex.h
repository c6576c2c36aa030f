// SPDX-License-Identifier: GPL-3.0-or-later
// The generated tree's index built straight from its plan, without creating a file: the
// entries, names, lengths and times the writer would put on disk and a scan would read back.
// For sizes beyond the free inodes of a machine (ten million entries) and beyond the time a
// benchmark may take to write them.
#pragma once

#include "TreeGenerator.h"
#include "TreePlan.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <string>

namespace vesko::treegen {

struct PlannedIndex {
    FileIndex index;
    SharedNameTable names;
};

// The index of the tree `shape` describes, rooted at `root` (a path that need not exist).
PlannedIndex indexFromPlan(const std::string& root, const TreeShape& shape);
// The same from a plan made beforehand (makePlan(shape)), so that a caller can tell the
// plan's memory, which stands in for the file system, from the index's.
PlannedIndex indexFromPlan(const std::string& root, const TreeShape& shape, const Plan& plan);

} // namespace vesko::treegen
