// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LivePaths.h"

namespace vesko::test {

std::multiset<std::string> livePaths(const FileIndex& index, const NameTable& names) {
    std::multiset<std::string> paths;
    for (std::int64_t e = 0; e < index.count(); ++e)
        if (!index.flags(e).contains(EntryFlags::deleted())) paths.insert(index.path(e, names));
    return paths;
}

std::multiset<std::string> diskPaths(const TempTree& tree) {
    std::multiset<std::string> paths;
    for (const auto& relative : tree.listAll())
        paths.insert(tree.path(relative));
    return paths;
}

} // namespace vesko::test
