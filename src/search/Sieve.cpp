// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Sieve.h"

#include "search/TypeFamily.h"

namespace vesko {

namespace Search {

Sieve::Sieve(const Filters& filters, const NameTable& names, const FileIndex& index,
             std::chrono::system_clock::time_point now, int firstWeekday)
    : filters_(filters), names_(&names), index_(index), extensions_(filters.parsedExtensions()),
      minimumBytes_(filters.minimumBytes()), maximumBytes_(filters.maximumBytes()),
      packedMinimum_(PackedSize::pack(minimumBytes_)),
      packedMaximum_(PackedSize::pack(maximumBytes_)),
      modifiedAfter_(filters.modifiedAfter(now, firstWeekday)) {
    const bool family = filters.family != Filters::Family::any;
    testsName_ = !extensions_.empty() || !filters.showInvisible || family;
    isPassthrough_ = filters.kind == Filters::Kind::all && !family && extensions_.empty() &&
                     filters.showInvisible && filters.showPackageContents && minimumBytes_ == 0 &&
                     maximumBytes_ == 0 && !modifiedAfter_;
    flags_ = View<std::uint8_t>::of(index_.entryFlags);
    sizes_ = View<std::uint32_t>::of(index_.entrySize);
    entryNames_ = View<std::uint32_t>::of(index_.entryName);
    switch (filters.dateField) {
    case Filters::DateField::modified:
        dates_ = View<std::uint32_t>::of(index_.entryModified);
        break;
    case Filters::DateField::created:
        dates_ = View<std::uint32_t>::of(index_.entryCreated);
        break;
    case Filters::DateField::accessed:
        dates_ = View<std::uint32_t>::of(index_.entryAccessed);
        break;
    }
}

bool Sieve::admitsName(std::uint32_t nameId) const {
    const std::string_view name = names_->foldedBytes(nameId);
    if (!filters_.showInvisible && !name.empty() && name.front() == '.') return false;
    if (extensions_.empty() && filters_.family == Filters::Family::any) return true;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view extension = name.substr(dot + 1);
    if (!TypeFamily::holds(filters_.family, extension)) return false;
    if (extensions_.empty()) return true;
    for (const std::string& e : extensions_)
        if (extension == e) return true;
    return false;
}

bool Sieve::isInsidePackage(std::uint32_t directory) const {
    // The parent chain ends at a root by construction; the step bound only keeps a damaged
    // index from looping.
    for (std::uint32_t steps = index_.directoryCount(); steps > 0; --steps) {
        const std::uint32_t parent = index_.dirParent[directory];
        if (parent == directory) return false;
        if (names_->foldedBytes(index_.dirName[directory]).ends_with(".app")) return true;
        directory = parent;
    }
    return false;
}

} // namespace Search
} // namespace vesko
