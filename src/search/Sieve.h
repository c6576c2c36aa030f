// SPDX-License-Identifier: GPL-3.0-or-later
// The per-search form of the filter record: turns it into the entry columns' own encodings
// once, so the search loop compares integers.
#pragma once

#include "index/EntryFlags.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/Filters.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko {
namespace Search {

// The entry-level filters of one search, precomputed. Holds a copy of the index value (its
// storage is shared, so the copy costs a few reference counts) and refers to the name table,
// which must outlive the sieve. `admits` allocates nothing.
class Sieve {
public:
    Sieve(const Filters& filters, const NameTable& names, const FileIndex& index,
          std::chrono::system_clock::time_point now, int firstWeekday);

    // True when the settings can hide nothing; the search then skips the sieve entirely.
    bool isPassthrough() const { return isPassthrough_; }
    // Whether the live entry passes kind, size, date, visibility, extension, type family and
    // package tests, in that order. A deleted entry never passes, even through a passthrough sieve.
    bool admits(std::int64_t entry, bool isDirectory) const;

    const Filters& filters() const { return filters_; }
    const std::vector<std::string>& extensions() const { return extensions_; }
    std::uint64_t minimumBytes() const { return minimumBytes_; }
    std::uint64_t maximumBytes() const { return maximumBytes_; }
    std::uint32_t packedMinimum() const { return packedMinimum_; }
    std::uint32_t packedMaximum() const { return packedMaximum_; }
    std::optional<std::uint32_t> modifiedAfter() const { return modifiedAfter_; }

private:
    template <class T> using View = ColumnView<T>;

    bool admitsName(std::uint32_t nameId) const;
    bool isInsidePackage(std::uint32_t directory) const;

    Filters filters_;
    const NameTable* names_;
    FileIndex index_;
    std::vector<std::string> extensions_;
    std::uint64_t minimumBytes_ = 0;
    std::uint64_t maximumBytes_ = 0;
    std::uint32_t packedMinimum_ = 0;
    std::uint32_t packedMaximum_ = 0;
    std::optional<std::uint32_t> modifiedAfter_;
    bool isPassthrough_ = true;
    bool testsName_ = false; // invisible, extension or family test needed

    View<std::uint8_t> flags_;
    View<std::uint32_t> sizes_;
    View<std::uint32_t> dates_; // the column chosen by dateField
    View<std::uint32_t> entryNames_;
};

inline bool Sieve::admits(std::int64_t entry, bool isDirectory) const {
    const auto i = static_cast<std::size_t>(entry);
    if (flags_[i] & EntryFlags::deletedBit) return false;
    if (isPassthrough_) return true;
    if (isDirectory
            ? filters_.kind == Filters::Kind::filesOnly || filters_.family != Filters::Family::any
            : filters_.kind == Filters::Kind::foldersOnly)
        return false;
    if (packedMinimum_ != 0 && sizes_[i] < packedMinimum_) return false;
    if (packedMaximum_ != 0 && (isDirectory || sizes_[i] > packedMaximum_)) return false;
    if (modifiedAfter_ && dates_[i] < *modifiedAfter_) return false;
    if (testsName_ && !admitsName(entryNames_[i])) return false;
    if (filters_.showPackageContents) return true;
    return !isInsidePackage(index_.entryDir[i]);
}

} // namespace Search
} // namespace vesko
