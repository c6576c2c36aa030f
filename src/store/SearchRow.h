// SPDX-License-Identifier: GPL-3.0-or-later
// One displayed result: the entry, its place in the result, its name and folder as the file
// system spells them, and the columns the list shows. Built off the main thread for a whole
// page at once. Every action takes the stored bytes; what is drawn goes through shownText.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class FileIndex;
class NameTable;
namespace Search {
struct Hit;
}

struct SearchRow {
    std::int64_t id = 0;       // entry index in the FileIndex
    std::int64_t position = 0; // row number in the result, from 0
    std::string name;          // stored bytes, which need not be UTF-8
    std::string directory;     // the parent folder's stored path; "/" for top-level entries
    bool isDirectory = false;
    bool isSymlink = false;
    std::uint32_t size = 0; // packed
    std::uint32_t modified = 0;
    std::uint32_t created = 0;
    std::uint32_t accessed = 0;

    bool operator==(const SearchRow&) const = default;

    // The full path's stored bytes, the one way every action names the item.
    std::string path() const { return directory == "/" ? "/" + name : directory + "/" + name; }
    std::uint64_t bytes() const;

    static std::vector<SearchRow> build(const std::vector<Search::Hit>& hits,
                                        const FileIndex& index, const NameTable& names);
};

// How many rows an answer makes with the search, a choice of the settings; the rest of the
// list is made as it is shown.
namespace Paging {

inline constexpr std::int64_t allowedSizes[] = {500, 1000, 2000, 3000, 5000};
inline constexpr std::int64_t defaultSize = 500;

// A stored page size snapped to the allowed sizes: the smallest not below it, at most the
// largest; nothing stored (or not a whole number) gives the default.
std::int64_t snapped(std::optional<std::int64_t> stored);

} // namespace Paging
} // namespace vesko
