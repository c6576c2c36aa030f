// SPDX-License-Identifier: GPL-3.0-or-later
// The generated tree's folders, their names, themes and file counts, decided before
// anything touches the disk, so the writer's threads can fill folders in any order.
#pragma once

#include "TreeGenerator.h"
#include "TreeVocabulary.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace vesko::treegen {

struct PlannedFolder {
    std::uint32_t parent = 0;
    int depth = 0;
    Theme theme = Theme::general;
    std::string name;
    std::uint32_t files = 0;
    std::vector<std::uint32_t> children;
};

struct Plan {
    std::vector<PlannedFolder> folders; // [0] is the root itself
    std::vector<std::vector<std::uint32_t>> byDepth;
    std::unordered_set<std::string> taken; // "parent/name" keys keep sibling names unique
};

Plan makePlan(const TreeShape& shape);

// `name`, or "stem (2).ext", "stem (3).ext"... when a sibling already took it; records it.
std::string uniqueName(std::unordered_set<std::string>& taken, std::string name);

} // namespace vesko::treegen
