// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ResultList.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/ResultOrder.h"
#include "search/SearchHit.h"
#include "store/FileActions.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace vesko {
namespace {

// Pages kept besides the one asked for: the screen and a drag's worth around it.
constexpr std::size_t keptPages = 8;

} // namespace

ResultList::ResultList(std::shared_ptr<ResultOrder> order, FileIndex index,
                       std::shared_ptr<const NameTable> names, std::vector<SearchRow> first)
    : order_(std::move(order)), index_(std::make_shared<const FileIndex>(std::move(index))),
      names_(std::move(names)) {
    if (!order_ && names_)
        order_ =
            std::make_shared<ResultOrder>(TopSelector(0, {}, *index_, *names_, {}, false, {}),
                                          std::vector<std::uint32_t>{}, std::vector<Search::Hit>{});
    const qint64 whole = std::min<qint64>(static_cast<qint64>(first.size()), count());
    for (qint64 start = 0; start + pageRows <= whole || (start < whole && whole == count());
         start += pageRows) {
        const auto end = std::min(whole, start + pageRows);
        pages_.emplace(start / pageRows,
                       std::vector<SearchRow>(first.begin() + start, first.begin() + end));
    }
}

ResultList::ResultList(const ResultList& other)
    : order_(other.order_ ? std::make_shared<ResultOrder>(*other.order_) : nullptr),
      index_(other.index_), names_(other.names_), pages_(other.pages_), edited_(other.edited_) {}

const FileIndex& ResultList::index() const {
    static const FileIndex none;
    return index_ ? *index_ : none;
}

qint64 ResultList::count() const {
    return order_ ? static_cast<qint64>(order_->size()) : 0;
}

const std::vector<SearchRow>& ResultList::page(qint64 number) const {
    if (const auto found = pages_.find(number); found != pages_.end()) return found->second;
    while (pages_.size() >= keptPages) {
        // The page farthest from this one goes: the user scrolls on from here.
        const bool front = number - pages_.begin()->first > pages_.rbegin()->first - number;
        pages_.erase(front ? pages_.begin() : std::prev(pages_.end()));
    }
    const auto first = static_cast<std::size_t>(number * pageRows);
    const std::size_t last = std::min<std::size_t>(first + pageRows, order_->size());
    order_->settle(first, last);
    std::vector<Search::Hit> hits;
    hits.reserve(last - first);
    for (std::size_t k = first; k < last; ++k) {
        const std::uint32_t entry = order_->entryAt(k);
        hits.push_back({entry, index_->flags(entry).contains(EntryFlags::directory())});
    }
    return pages_.emplace(number, SearchRow::build(hits, *index_, *names_)).first->second;
}

SearchRow ResultList::row(qint64 position) const {
    const auto& rows = page(position / pageRows);
    SearchRow row = rows[static_cast<std::size_t>(position % pageRows)];
    if (const auto found = edited_.find(row.id); found != edited_.end()) row = found->second;
    row.position = position;
    return row;
}

std::int64_t ResultList::idAt(qint64 position) const {
    return order_->entryAt(static_cast<std::size_t>(position));
}

std::optional<qint64> ResultList::positionOf(std::int64_t id) const {
    if (!order_ || id < 0 || id > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    const auto found = order_->positionOf(static_cast<std::uint32_t>(id));
    if (!found) return std::nullopt;
    return static_cast<qint64>(*found);
}

std::vector<std::optional<qint64>>
ResultList::positionsOfFiles(const std::vector<SearchRow>& rows) const {
    std::vector<std::optional<qint64>> found(rows.size());
    if (!order_ || rows.empty()) return found;
    std::unordered_multimap<std::string_view, std::size_t> byName;
    std::uint64_t lengths = 0; // bit (length % 64) of each name: most hits need no hash
    for (std::size_t k = 0; k < rows.size(); ++k) {
        byName.emplace(rows[k].name, k);
        lengths |= std::uint64_t{1} << (rows[k].name.size() & 63);
    }
    std::vector<std::pair<std::size_t, std::uint32_t>> matched; // (row, entry)
    for (const auto& [id, row] : edited_) // listed under a name the index does not hold
        for (std::size_t k = 0; k < rows.size(); ++k)
            if (rows[k].path() == row.path())
                matched.emplace_back(k, static_cast<std::uint32_t>(id));
    order_->forEachEntry([&](std::uint32_t entry) {
        const std::string_view name = names_->displayBytes(index_->entryName[entry]);
        if (!(lengths >> (name.size() & 63) & 1)) return;
        const auto [first, last] = byName.equal_range(name);
        for (auto it = first; it != last; ++it)
            if (!edited_.contains(entry) &&
                index_->pathOfDirectory(index_->entryDir[entry], *names_) ==
                    rows[it->second].directory)
                matched.emplace_back(it->second, entry);
    });
    for (const auto& [k, entry] : matched)
        if (!found[k]) found[k] = positionOf(entry);
    return found;
}

void ResultList::erase(qint64 position) {
    order_->erase(static_cast<std::size_t>(position));
    pages_.clear();
}

void ResultList::insert(qint64 position, const SearchRow& row) {
    if (!order_) return;
    order_->insert(static_cast<std::size_t>(position), static_cast<std::uint32_t>(row.id));
    edited_[row.id] = row;
    pages_.clear();
}

void ResultList::replace(qint64 position, const SearchRow& row) {
    edited_[idAt(position)] = row;
}

std::vector<std::string> ResultList::paths() const {
    std::vector<std::string> paths;
    if (!order_) return paths;
    paths.reserve(order_->size());
    order_->settle(0, order_->size());
    // Hits share folders: each folder's path is made once, not once a row.
    std::unordered_map<std::uint32_t, std::string> folders;
    for (std::size_t position = 0; position < order_->size(); ++position) {
        const std::uint32_t entry = order_->entryAt(position);
        if (const auto found = edited_.find(entry); found != edited_.end()) {
            paths.push_back(found->second.path());
            continue;
        }
        const std::uint32_t directory = index_->entryDir[entry];
        auto [folder, added] = folders.try_emplace(directory);
        if (added) folder->second = index_->pathOfDirectory(directory, *names_);
        paths.push_back(
            FileActions::fullPath(folder->second, names_->displayBytes(index_->entryName[entry])));
    }
    return paths;
}

std::vector<std::int64_t> ResultList::ids() const {
    std::vector<std::int64_t> ids;
    if (!order_) return ids;
    ids.reserve(order_->size());
    order_->forEachEntry([&](std::uint32_t entry) { ids.push_back(entry); });
    return ids;
}

std::size_t ResultList::memoryBytes() const {
    std::size_t total = sizeof(*this) + (order_ ? order_->memoryBytes() : 0);
    for (const auto& [number, rows] : pages_)
        for (const SearchRow& row : rows)
            total += sizeof(row) + row.name.capacity() + row.directory.capacity();
    return total + edited_.size() * (sizeof(SearchRow) + 64);
}

} // namespace vesko

namespace vesko {
namespace {

// More rows than this changed at once: the view redraws everything anyway.
constexpr std::size_t mostChangedRows = 64;

bool sameColumns(const FileIndex& a, const FileIndex& b, std::int64_t id) {
    if (id >= a.count() || id >= b.count()) return false;
    const auto e = static_cast<std::size_t>(id);
    return a.entryName[e] == b.entryName[e] && a.entryDir[e] == b.entryDir[e] &&
           a.entryFlags[e] == b.entryFlags[e] && a.entrySize[e] == b.entrySize[e] &&
           a.entryModified[e] == b.entryModified[e] && a.entryCreated[e] == b.entryCreated[e] &&
           a.entryAccessed[e] == b.entryAccessed[e];
}

// Sorted positions as runs of consecutive rows.
std::vector<RowsChange::Range> rangesOf(std::vector<qint64> positions) {
    std::ranges::sort(positions);
    std::vector<RowsChange::Range> ranges;
    for (const qint64 p : positions) {
        if (!ranges.empty() && ranges.back().first + ranges.back().count == p)
            ++ranges.back().count;
        else
            ranges.push_back({p, 1});
    }
    return ranges;
}

} // namespace

std::optional<qint64> RowsChange::follow(qint64 row) const {
    for (const Move& move : moved)
        if (move.from == row) return move.to;
    // The rows that stay keep their order: the row's rank among them, then its row among
    // them and the rows put in before it.
    qint64 rank = row;
    for (const Range& range : removed) {
        if (row >= range.first + range.count)
            rank -= range.count;
        else if (row >= range.first)
            return std::nullopt;
    }
    std::vector<qint64> put;
    for (const Move& move : moved) {
        if (move.from < row) --rank;
        put.push_back(move.to);
    }
    for (const Range& range : inserted)
        for (qint64 k = 0; k < range.count; ++k)
            put.push_back(range.first + k);
    std::ranges::sort(put);
    qint64 at = rank;
    for (const qint64 taken : put)
        if (taken <= at) ++at;
    return at;
}

std::optional<RowsChange> changeBetween(const ResultList& before, const ResultList& after) {
    const std::vector<std::int64_t> was = before.ids(), is = after.ids();
    const std::int64_t bound = std::max(before.index().count(), after.index().count()) + 1;
    const auto setOf = [&](const std::vector<std::int64_t>& ids) {
        std::vector<bool> set(static_cast<std::size_t>(bound));
        for (const std::int64_t id : ids)
            if (id < bound) set[static_cast<std::size_t>(id)] = true;
        return set;
    };
    const std::vector<bool> inBefore = setOf(was), inAfter = setOf(is);
    std::vector<std::int64_t> left, came, changed;
    const auto tooMany = [&] {
        return left.size() + came.size() + changed.size() > mostChangedRows;
    };
    for (const std::int64_t id : was) {
        if (id >= bound) return std::nullopt;
        if (!inAfter[static_cast<std::size_t>(id)])
            left.push_back(id);
        else if (!sameColumns(before.index(), after.index(), id))
            changed.push_back(id);
        if (tooMany()) return std::nullopt;
    }
    for (const std::int64_t id : is) {
        if (id >= bound) return std::nullopt;
        if (!inBefore[static_cast<std::size_t>(id)]) came.push_back(id);
        if (tooMany()) return std::nullopt;
    }
    std::vector<qint64> from, to;
    for (const std::int64_t id : left)
        from.push_back(*before.positionOf(id));
    for (const std::int64_t id : came)
        to.push_back(*after.positionOf(id));
    RowsChange change{rangesOf(std::move(from)), rangesOf(std::move(to)), {}};
    std::ranges::reverse(change.removed);
    for (const std::int64_t id : changed)
        change.moved.push_back({*before.positionOf(id), *after.positionOf(id)});
    return change;
}

} // namespace vesko
