// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/IndexNavigator.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "index/Unicode.h"

#include <malloc.h>

#include <algorithm>
#include <array>
#include <string>

namespace vesko {
namespace {

using Table = IndexNavigator::Table;

struct Grouping {
    std::shared_ptr<Table> start; // groups + 1 elements; start[groups] is the total
    std::shared_ptr<Table> items; // at least one element
};

// Calls body(pointer, first, length) for the column's regions from the last to the first.
template <class Body> void forEachRegionReversed(const Column<std::uint32_t>& column, Body&& body) {
    struct Region {
        const std::uint32_t* p;
        std::size_t first, length;
    };
    std::array<Region, 2> regions{};
    std::size_t n = 0;
    column.forEachRegion([&](const std::uint32_t* p, std::size_t first, std::size_t length) {
        regions[n++] = {p, first, length};
    });
    while (n > 0) {
        --n;
        body(regions[n].p, regions[n].first, regions[n].length);
    }
}

// Counting sort of the positions of `keys` by key, ascending within each group. Positions for
// which skip(position, key) holds, and keys outside the group range, are left out. Counts go
// to the key's own slot and an inclusive prefix sum turns them into group ends; placing the
// positions from the last to the first then moves each end back to its group's begin, so no
// cursor array is needed. Empty when the kernel refuses a table.
template <class Skip>
Grouping groupByKey(const Column<std::uint32_t>& keys, std::size_t groups, Skip skip) {
    auto start = Table::make(static_cast<std::int64_t>(groups) + 1);
    if (!start) return {};
    Table& s = *start;
    keys.forEachRegion([&](const std::uint32_t* p, std::size_t first, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i)
            if (p[i] < groups && !skip(first + i, p[i])) ++s[p[i]];
    });
    std::uint32_t total = 0;
    for (std::size_t g = 0; g <= groups; ++g)
        s[g] = total += s[g];

    auto items = Table::make(std::max<std::int64_t>(total, 1));
    if (!items) return {};
    Table& out = *items;
    forEachRegionReversed(keys, [&](const std::uint32_t* p, std::size_t first, std::size_t length) {
        for (std::size_t i = length; i-- > 0;) {
            const std::size_t position = first + i;
            if (p[i] < groups && !skip(position, p[i]))
                out[--s[p[i]]] = static_cast<std::uint32_t>(position);
        }
    });
    return {std::move(start), std::move(items)};
}

// Number of code points in UTF-8 text: every byte that does not continue a sequence.
std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

struct RootMatch {
    std::uint32_t id;
    std::size_t restStart; // where the components below the root begin in the path
};

// Where the components below the root begin in the path, when the path is the root itself or
// lies below it (bytes compared exactly). A root ending in "/", such as "/" itself, contains
// every path that starts with it.
std::optional<std::size_t> restBelow(std::string_view path, std::string_view root) {
    if (path == root) return path.size();
    std::string_view stem = root;
    while (!stem.empty() && stem.back() == '/')
        stem.remove_suffix(1);
    if (path.size() > stem.size() && path.starts_with(stem) && path[stem.size()] == '/')
        return stem.size();
    return std::nullopt;
}

// The longest root (in characters) that contains the NFC path.
std::optional<RootMatch> longestRootContaining(std::string_view path, const FileIndex& index) {
    struct Candidate {
        std::size_t length;
        std::uint32_t id;
        std::string path;
    };
    std::vector<Candidate> roots;
    roots.reserve(index.rootPaths.size());
    for (const auto& [id, rootPath] : index.rootPaths) {
        std::string normalized = Unicode::nfc(rootPath);
        roots.push_back({characterCount(normalized), id, std::move(normalized)});
    }
    std::stable_sort(roots.begin(), roots.end(),
                     [](const Candidate& a, const Candidate& b) { return a.length > b.length; });
    for (const auto& root : roots)
        if (auto rest = restBelow(path, root.path)) return RootMatch{root.id, *rest};
    return std::nullopt;
}

} // namespace

bool IndexNavigator::build(const FileIndex& index) {
    const std::size_t directories = index.dirParent.count();
    Grouping byParent =
        groupByKey(index.dirParent, directories,
                   [](std::size_t dir, std::uint32_t parent) { return parent == dir; });
    if (!byParent.start) return false;
    Grouping byDirectory =
        groupByKey(index.entryDir, directories, [](std::size_t, std::uint32_t) { return false; });
    if (!byDirectory.start) return false;

    childrenStart_ = std::move(byParent.start);
    children_ = std::move(byParent.items);
    entryStart_ = std::move(byDirectory.start);
    entriesByDirectory_ = std::move(byDirectory.items);
    isReady_ = true;
    return true;
}

std::span<const std::uint32_t> IndexNavigator::view(const std::shared_ptr<Table>& table) {
    if (!table) return {};
    return table->buffer();
}

std::span<const std::uint32_t> IndexNavigator::slice(const std::shared_ptr<Table>& start,
                                                     const std::shared_ptr<Table>& items,
                                                     std::uint32_t dir) {
    if (!start || !items || std::size_t{dir} + 1 >= start->count()) return {};
    const Table& s = *start;
    return view(items).subspan(s[dir], s[dir + 1] - s[dir]);
}

std::vector<std::uint32_t> IndexNavigator::childDirectories(std::uint32_t dir) const {
    const auto s = slice(childrenStart_, children_, dir);
    return {s.begin(), s.end()};
}

std::vector<std::uint32_t> IndexNavigator::entries(std::uint32_t dir) const {
    const auto s = slice(entryStart_, entriesByDirectory_, dir);
    return {s.begin(), s.end()};
}

std::optional<std::uint32_t> IndexNavigator::childNamed(std::uint32_t dir, std::string_view folded,
                                                        const FileIndex& index,
                                                        const NameTable& names) const {
    const std::size_t known = index.dirName.count();
    for (std::uint32_t child : slice(childrenStart_, children_, dir))
        if (child < known && names.foldedBytes(index.dirName[child]) == folded) return child;
    return std::nullopt;
}

std::optional<std::uint32_t> IndexNavigator::directory(std::string_view path,
                                                       const FileIndex& index,
                                                       const NameTable& names) const {
    // NFC never composes across "/", so components keep their boundaries.
    const std::string wanted = Unicode::nfc(path);
    const auto root = longestRootContaining(wanted, index);
    if (!root) return std::nullopt;
    std::uint32_t current = root->id;
    std::size_t at = root->restStart;
    while (at < wanted.size()) {
        const std::size_t end = std::min(wanted.find('/', at), wanted.size());
        if (end > at) {
            // The same folding the name table applied to the stored names.
            const std::string folded =
                Unicode::folded(std::string_view(wanted).substr(at, end - at));
            const auto child = childNamed(current, folded, index, names);
            if (!child) return std::nullopt;
            current = *child;
        }
        at = end + 1;
    }
    return current;
}

void IndexNavigator::release() {
    childrenStart_.reset();
    children_.reset();
    entryStart_.reset();
    entriesByDirectory_.reset();
    isReady_ = false;
    // The tables themselves are unmapped above; this returns what the allocator kept free.
    malloc_trim(0);
}

std::int64_t IndexNavigator::bytes() const {
    std::int64_t total = 0;
    for (const auto* table : {&childrenStart_, &children_, &entryStart_, &entriesByDirectory_})
        if (*table) total += (*table)->bytes();
    return total;
}

} // namespace vesko
