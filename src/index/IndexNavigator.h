// SPDX-License-Identifier: GPL-3.0-or-later
// Downward links that the index itself does not store: the child directories and the entries
// of each directory, and the directory that an absolute path names. Auxiliary tables for the
// live updater, built on demand and released when idle (about 8 bytes per directory plus 4 per
// link and per entry).
#pragma once

#include "index/ScratchBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vesko {

struct FileIndex;
class NameTable;

// A shared reference object with no lock: the owner never builds or releases it while the
// updater reads it, and reads happen one flush at a time.
class IndexNavigator {
public:
    using Table = ScratchBuffer<std::uint32_t>;

    IndexNavigator() = default;
    IndexNavigator(const IndexNavigator&) = delete;
    IndexNavigator& operator=(const IndexNavigator&) = delete;

    // (Re)builds all four tables with two counting sorts, linear in directories plus entries.
    // When the kernel refuses a table, returns false and leaves the navigator as it was; the
    // old and the new tables are both held until the new ones are complete.
    bool build(const FileIndex& index);

    // Copies of one directory's slice, ascending; empty when the tables are absent or the
    // directory was created after the last build. Deleted entries are listed like any other.
    std::vector<std::uint32_t> childDirectories(std::uint32_t dir) const;
    std::vector<std::uint32_t> entries(std::uint32_t dir) const;

    // The indexed directory with this absolute path. Roots are tried longest first and their
    // path is a case-sensitive prefix; each further component matches a child's folded name
    // (lowest id among case variants). Canonically equivalent forms are equal throughout, and
    // empty components ("//", a trailing "/") are ignored. Without tables only roots resolve.
    std::optional<std::uint32_t> directory(std::string_view path, const FileIndex& index,
                                           const NameTable& names) const;

    // Drops all four tables, returning their memory to the kernel at once, and asks the
    // allocator to hand back its free memory too.
    void release();

    bool isReady() const { return isReady_; }
    // Four bytes per element of each table that exists.
    std::int64_t bytes() const;

    // The raw tables, empty when absent; valid until the next build or release. The slice of
    // directory d runs from start[d] to start[d + 1]; start[D] is the total.
    std::span<const std::uint32_t> childrenStart() const { return view(childrenStart_); }
    std::span<const std::uint32_t> children() const { return view(children_); }
    std::span<const std::uint32_t> entryStart() const { return view(entryStart_); }
    std::span<const std::uint32_t> entriesByDirectory() const { return view(entriesByDirectory_); }

private:
    static std::span<const std::uint32_t> view(const std::shared_ptr<Table>& table);
    static std::span<const std::uint32_t> slice(const std::shared_ptr<Table>& start,
                                                const std::shared_ptr<Table>& items,
                                                std::uint32_t dir);
    std::optional<std::uint32_t> childNamed(std::uint32_t dir, std::string_view folded,
                                            const FileIndex& index, const NameTable& names) const;

    std::shared_ptr<Table> childrenStart_;
    std::shared_ptr<Table> children_;
    std::shared_ptr<Table> entryStart_;
    std::shared_ptr<Table> entriesByDirectory_;
    bool isReady_ = false;
};

using SharedIndexNavigator = std::shared_ptr<IndexNavigator>;

} // namespace vesko
