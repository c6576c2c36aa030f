// SPDX-License-Identifier: GPL-3.0-or-later
// Ids never move while an index is updated, so a deleted entry stays as a flagged row, a
// deleted folder keeps its record and a name no live entry uses stays in the table. Under
// churn (files made and deleted by the thousand) that dead weight would grow without end;
// a compacted copy drops it, renumbering everything as a fresh scan would.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <vector>

namespace vesko::IndexCompactor {

// Worth the copy once this share of the entries is deleted (and a handful at least):
// the dead weight then stays within a quarter of what a fresh scan holds.
inline constexpr double deadShareLimit = 0.2;
inline constexpr std::int64_t fewestDead = 64;

std::int64_t deletedCount(const FileIndex& index);
bool isWorthIt(const FileIndex& index);

// For each folder record, whether it is the folder as it stands now: a root, or the newest
// record of a folder whose entry is not deleted, inside a live folder.
std::vector<bool> liveFolders(const FileIndex& index, const NameTable& names);

struct Compacted {
    FileIndex index;
    SharedNameTable names;
};

// The live entries and folders only, in their old order, with a name table of their names
// alone. Roots keep their ids. Throws std::bad_alloc or NameTableFull as interning does.
Compacted compact(const FileIndex& index, const NameTable& names);

} // namespace vesko::IndexCompactor
