// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of one answer. Every hit is kept as an id in the search's ResultOrder; a row is
// made only when the list asks for it, a page at a time, and the pages looked at last are
// kept. The window's own edits (a trash shown before the watcher confirms it, a rename) go
// into a copy, so whoever still reads the list before the edit keeps seeing it whole.
#pragma once

#include "store/SearchRow.h"

#include <QtGlobal>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class FileIndex;
class NameTable;
class ResultOrder;

// How a list became the next answer to the same search: the rows that left (numbered in the
// list before, the last range first), the rows that came (numbered in the list after, the
// first range first) and the hits whose columns changed, which may have moved (from their
// row before to their row after).
struct RowsChange {
    struct Range {
        qint64 first = 0;
        qint64 count = 0;
        bool operator==(const Range&) const = default;
    };
    struct Move {
        qint64 from = 0;
        qint64 to = 0;
    };
    std::vector<Range> removed;
    std::vector<Range> inserted;
    std::vector<Move> moved;

    // Where a row of the list before is in the list after; none when it left.
    std::optional<qint64> follow(qint64 row) const;
};

class ResultList {
public:
    static constexpr qint64 pageRows = 256;

    ResultList() = default;
    // `first` are the rows of the order's first hits, made with the search.
    ResultList(std::shared_ptr<ResultOrder> order, FileIndex index,
               std::shared_ptr<const NameTable> names, std::vector<SearchRow> first);
    // A copy owns its order, so edits to it leave this list as it was.
    ResultList(const ResultList& other);
    ResultList& operator=(const ResultList&) = delete;

    qint64 count() const;
    // `position` < count.
    SearchRow row(qint64 position) const;
    std::int64_t idAt(qint64 position) const;
    // A pass over the hits: for a few ids at a time.
    std::optional<qint64> positionOf(std::int64_t id) const;
    // Where each row's file (by its path) is listed, none where it is not: for rows of a
    // list of another index, whose ids number other files. One pass over the hits, then
    // one per file found.
    std::vector<std::optional<qint64>> positionsOfFiles(const std::vector<SearchRow>& rows) const;

    void erase(qint64 position);
    // The row is listed at `position` as given, whatever the index says of its entry.
    void insert(qint64 position, const SearchRow& row);
    void replace(qint64 position, const SearchRow& row);

    // Every row's full path, in list order.
    std::vector<std::string> paths() const;
    // The hits' ids, in no defined order.
    std::vector<std::int64_t> ids() const;
    // An empty index for a list of no search.
    const FileIndex& index() const;
    // The order, the pages of rows kept and the edited rows.
    std::size_t memoryBytes() const;

private:
    const std::vector<SearchRow>& page(qint64 number) const;

    std::shared_ptr<ResultOrder> order_;
    std::shared_ptr<const FileIndex> index_; // the search's copy, shared by the list's copies
    std::shared_ptr<const NameTable> names_;
    mutable std::map<qint64, std::vector<SearchRow>> pages_;
    std::map<std::int64_t, SearchRow> edited_; // by id
};

// None when more rows changed than a view follows one range at a time.
std::optional<RowsChange> changeBetween(const ResultList& before, const ResultList& after);

} // namespace vesko
