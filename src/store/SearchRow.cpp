// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SearchRow.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/SearchHit.h"

namespace vesko {

std::uint64_t SearchRow::bytes() const {
    return PackedSize::unpack(size);
}

std::vector<SearchRow> SearchRow::build(const std::vector<Search::Hit>& hits,
                                        const FileIndex& index, const NameTable& names) {
    std::vector<SearchRow> rows;
    rows.reserve(hits.size());
    for (const Search::Hit& hit : hits) {
        const auto e = static_cast<std::size_t>(hit.entry);
        SearchRow row;
        row.id = hit.entry;
        row.position = static_cast<std::int64_t>(rows.size());
        // The same split as the full path's last slash, without building the full path.
        row.name = names.displayBytes(index.entryName[e]);
        row.directory = index.pathOfDirectory(index.entryDir[e], names);
        row.isDirectory = hit.isDirectory;
        row.isSymlink = index.flags(hit.entry).contains(EntryFlags::symlink());
        row.size = index.entrySize[e];
        row.modified = index.entryModified[e];
        row.created = index.entryCreated[e];
        row.accessed = index.entryAccessed[e];
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace Paging {

std::int64_t snapped(std::optional<std::int64_t> stored) {
    if (!stored) return defaultSize;
    for (const std::int64_t size : allowedSizes)
        if (*stored <= size) return size;
    return allowedSizes[std::size(allowedSizes) - 1];
}

} // namespace Paging
} // namespace vesko
