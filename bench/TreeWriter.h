// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a planned tree below its root with a few threads: folders, files with their
// lengths, contents and times. Every folder draws from its own seeded stream, so the
// tree is the same whatever the number of threads or the order they take folders in.
#pragma once

#include "TreeGenerator.h"
#include "TreePlan.h"

#include <string>

namespace vesko::treegen {

// Fills root, which exists and is empty; a failure stops the writing and is described in
// the returned stats' error.
TreeStats writeTree(const std::string& root, const TreeShape& shape, const Plan& plan);

} // namespace vesko::treegen
