// SPDX-License-Identifier: GPL-3.0-or-later
// Small indexes built in memory, without touching the disk: roots, folders and files with
// the flags, sizes and dates a test needs, laid out as the scanner would lay them out.
#pragma once

#include "index/EntryFlags.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

namespace vesko::test {

struct Dates {
    std::uint32_t modified = 0, created = 0, accessed = 0;
    static Dates all(std::uint32_t seconds) { return {seconds, seconds, seconds}; }
};

struct MemoryIndex {
    SharedNameTable sharedNames = std::make_shared<NameTable>();
    NameTable& names = *sharedNames;
    FileIndex index;

    MemoryIndex() = default;
    // One root (directory 0) holding the given paths, as `add` takes them.
    MemoryIndex(const std::string& root, std::initializer_list<std::string> paths);
    MemoryIndex(const MemoryIndex&) = delete;
    MemoryIndex& operator=(const MemoryIndex&) = delete;

    // Returns the new root's directory id.
    std::uint32_t root(const std::string& path);
    // A folder is an entry of its parent and a directory of its own; returns the directory.
    std::uint32_t folder(const std::string& name, std::uint32_t parent = 0, Dates dates = {},
                         EntryFlags extra = {});
    // Returns the new entry; `size` is in bytes.
    std::int64_t file(const std::string& name, std::uint32_t dir = 0, std::uint64_t size = 0,
                      Dates dates = {}, EntryFlags flags = {});
    // A path relative to the first root: "a/b/c.txt" adds the folders a and a/b as needed,
    // and a trailing slash makes the last part a folder. Returns the last entry.
    std::int64_t add(const std::string& relative, std::uint64_t size = 0, Dates dates = {});

    std::int64_t lastEntry() const { return index.count() - 1; }
    std::string path(std::int64_t entry) const { return index.path(entry, names); }

private:
    std::map<std::string, std::uint32_t> folders_; // relative path -> directory id
};

} // namespace vesko::test
