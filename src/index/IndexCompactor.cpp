// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/IndexCompactor.h"

#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vesko::IndexCompactor {
namespace {

constexpr std::uint32_t dropped = std::numeric_limits<std::uint32_t>::max();

// A folder's place: its parent's record and its own name bytes.
std::string placeOf(std::uint32_t parent, std::string_view name) {
    std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
    key.append(name);
    return key;
}

bool isLiveFolderEntry(EntryFlags flags) {
    return flags.contains(EntryFlags::directory()) && !flags.contains(EntryFlags::deleted());
}

} // namespace

std::int64_t deletedCount(const FileIndex& index) {
    std::int64_t dead = 0;
    for (std::int64_t e = 0; e < index.count(); ++e)
        dead += index.flags(e).contains(EntryFlags::deleted()) ? 1 : 0;
    return dead;
}

bool isWorthIt(const FileIndex& index) {
    const std::int64_t dead = deletedCount(index);
    return dead >= fewestDead &&
           static_cast<double>(dead) >= deadShareLimit * static_cast<double>(index.count());
}

std::vector<bool> liveFolders(const FileIndex& index, const NameTable& names) {
    std::unordered_set<std::string> present;
    for (std::int64_t e = 0; e < index.count(); ++e) {
        const auto i = static_cast<std::size_t>(e);
        if (isLiveFolderEntry(index.flags(e)))
            present.insert(placeOf(index.entryDir[i], names.displayBytes(index.entryName[i])));
    }
    const std::uint32_t folders = index.directoryCount();
    std::unordered_map<std::string, std::uint32_t> newest;
    for (std::uint32_t d = 0; d < folders; ++d)
        if (index.dirParent[d] != d)
            newest[placeOf(index.dirParent[d], names.displayBytes(index.dirName[d]))] = d;
    std::vector<bool> live(folders, false);
    for (std::uint32_t d = 0; d < folders; ++d) {
        const std::uint32_t parent = index.dirParent[d];
        if (parent == d) {
            live[d] = true;
            continue;
        }
        const std::string place = placeOf(parent, names.displayBytes(index.dirName[d]));
        live[d] = live[parent] && present.contains(place) && newest[place] == d;
    }
    return live;
}

Compacted compact(const FileIndex& index, const NameTable& names) {
    const std::vector<bool> live = liveFolders(index, names);
    Compacted out;
    out.names = std::make_shared<NameTable>();
    NameTable& table = *out.names;
    std::vector<std::uint32_t> nameOf(static_cast<std::size_t>(names.idUpperBound()) + 1, dropped);
    const auto rename = [&](std::uint32_t id) {
        std::uint32_t& fresh = nameOf[id];
        if (fresh == dropped) fresh = table.intern(names.displayBytes(id));
        return fresh;
    };

    const std::uint32_t folders = index.directoryCount();
    std::vector<std::uint32_t> folderOf(folders, dropped);
    std::vector<std::uint32_t> parents, folderNames;
    for (std::uint32_t d = 0; d < folders; ++d) {
        if (!live[d]) continue;
        folderOf[d] = static_cast<std::uint32_t>(parents.size());
        // Parents have lower ids, so a live folder's parent is numbered already.
        parents.push_back(folderOf[index.dirParent[d]]);
        folderNames.push_back(rename(index.dirName[d]));
    }
    FileIndex& fresh = out.index;
    fresh.dirParent = Column<std::uint32_t>(parents);
    fresh.dirName = Column<std::uint32_t>(folderNames);
    for (const auto& [id, path] : index.rootPaths)
        fresh.rootPaths[folderOf[id]] = path;

    const auto kept = [&](std::size_t i) {
        return !EntryFlags{index.entryFlags[i]}.contains(EntryFlags::deleted()) &&
               folderOf[index.entryDir[i]] != dropped;
    };
    std::size_t count = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(index.count()); ++i)
        count += kept(i) ? 1 : 0;
    fresh.reserveEntries(count);
    for (std::int64_t e = 0; e < index.count(); ++e) {
        const auto i = static_cast<std::size_t>(e);
        if (!kept(i)) continue;
        const EntryFlags flags = index.flags(e);
        const std::uint32_t dir = folderOf[index.entryDir[i]];
        fresh.appendEntry(rename(index.entryName[i]), dir, flags, index.entrySize[i],
                          index.entryModified[i], index.entryCreated[i], index.entryAccessed[i]);
    }
    // Nobody reads the new table yet, so the buffers its growth left behind can go.
    table.releaseRetired();
    return out;
}

} // namespace vesko::IndexCompactor
