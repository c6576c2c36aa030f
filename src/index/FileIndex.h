// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory model of everything indexed: one row per entry and one per listed
// directory, each attribute its own column. Names live in the NameTable; paths are rebuilt
// by walking the directory table up to a root. A value type: copies share storage.
#pragma once

#include "index/Column.h"
#include "index/EntryFlags.h"
#include "index/MappedArchive.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesko {

class NameTable;

struct FileIndex {
    Column<std::uint32_t> dirParent; // one per directory; a root holds its own id
    Column<std::uint32_t> dirName;   // a root holds the name id of its whole path
    Column<std::uint32_t> entryName;
    Column<std::uint32_t> entryDir;
    Column<std::uint8_t> entryFlags;
    Column<std::uint32_t> entrySize;
    Column<std::uint32_t> entryModified;
    Column<std::uint32_t> entryCreated;
    Column<std::uint32_t> entryAccessed;
    std::map<std::uint32_t, std::string> rootPaths;
    SharedMappedArchive archive;

    std::int64_t count() const { return static_cast<std::int64_t>(entryName.count()); }
    std::uint32_t directoryCount() const { return static_cast<std::uint32_t>(dirParent.count()); }

    EntryFlags flags(std::int64_t entry) const {
        return {entryFlags[static_cast<std::size_t>(entry)]};
    }
    std::uint64_t size(std::int64_t entry) const {
        return PackedSize::unpack(entrySize[static_cast<std::size_t>(entry)]);
    }

    // Room for `count` entries in all seven entry columns at once: a column grown by appending
    // keeps up to half again as much as it holds.
    void reserveEntries(std::size_t count);
    // Appends one entry to all seven entry columns.
    void appendEntry(std::uint32_t name, std::uint32_t dir, EntryFlags flags,
                     std::uint32_t packedSize, std::uint32_t modified, std::uint32_t created,
                     std::uint32_t accessed);

    // Paths as stored, byte for byte (a name need not be UTF-8): what to open, not to show.
    std::string path(std::int64_t entry, const NameTable& names) const;
    std::string pathOfDirectory(std::uint32_t directory, const NameTable& names) const;
    std::string foldedPath(std::int64_t entry, const NameTable& names) const;
    // The root directory that contains the directory.
    std::uint32_t rootOf(std::uint32_t directory) const;

    std::int64_t payloadBytes() const;
    std::vector<std::pair<std::string, std::int64_t>> memoryBreakdown(const NameTable& names) const;

    // Describes the first broken invariant (unequal columns, a parent chain that does not end
    // at a root), or returns an empty text. For tests and diagnostics.
    std::string checkInvariants() const;
};

} // namespace vesko
