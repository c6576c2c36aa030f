// SPDX-License-Identifier: MIT
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

// The path as the file system spells it, invalid UTF-8 included, as exclusions are matched.
std::string storedPath(const FileIndex& index, const NameTable& names, std::uint32_t folder,
                       std::string_view leaf) {
    std::vector<std::string_view> parts;
    if (!leaf.empty()) parts.push_back(leaf);
    std::uint32_t d = folder;
    for (; index.dirParent[d] != d; d = index.dirParent[d])
        parts.push_back(names.displayBytes(index.dirName[d]));
    const auto root = index.rootPaths.find(d);
    std::string path = root == index.rootPaths.end() || root->second == "/" ? "" : root->second;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
        path.append("/").append(*part);
    return path.empty() ? "/" : path;
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
        if (excludedNames.contains(name) && excluded.contains(storedPath(index, names, d, {})))
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
        if (!excluded.contains(storedPath(index, names, index.entryDir[i], name))) return true;
    }
    return false;
}

} // namespace vesko::ExclusionDrift
