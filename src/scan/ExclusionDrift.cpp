// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/ExclusionDrift.h"

#include "index/IndexCompactor.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace vesko::ExclusionDrift {
namespace {

// A folder's place: its parent's record and its own name bytes.
std::string keyOf(std::uint32_t parent, std::string_view name) {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key.append(name);
    return key;
}

std::string_view lastComponent(const std::string& path) {
    return std::string_view(path).substr(path.rfind('/') + 1);
}

} // namespace

bool differs(const FileIndex& index, const NameTable& names, const ExcludedSet& excluded) {
    const std::vector<bool> live = IndexCompactor::liveFolders(index, names);
    std::unordered_set<std::string_view> excludedNames;
    for (const std::string& path : excluded)
        excludedNames.insert(lastComponent(path));
    std::unordered_set<std::string> listed; // the places of the live folder records
    for (std::uint32_t d = 0; d < index.directoryCount(); ++d) {
        if (!live[d] || index.dirParent[d] == d) continue;
        const std::string_view name = names.displayBytes(index.dirName[d]);
        listed.insert(keyOf(index.dirParent[d], name));
        // Listed, yet excluded now.
        if (excludedNames.contains(name) && excluded.contains(index.pathOfDirectory(d, names)))
            return true;
    }
    for (std::int64_t e = 0; e < index.count(); ++e) {
        const auto i = static_cast<std::size_t>(e);
        const EntryFlags flags = index.flags(e);
        if (!flags.contains(EntryFlags::directory()) || flags.contains(EntryFlags::deleted()) ||
            !live[index.entryDir[i]])
            continue;
        const std::string_view name = names.displayBytes(index.entryName[i]);
        if (listed.contains(keyOf(index.entryDir[i], name))) continue;
        // Never listed, yet no longer excluded.
        if (!excluded.contains(index.path(e, names))) return true;
    }
    return false;
}

} // namespace vesko::ExclusionDrift
