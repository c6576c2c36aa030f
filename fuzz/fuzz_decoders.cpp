// SPDX-License-Identifier: GPL-3.0-or-later
// The two persisted records. The whole input is read as the stored JSON of a ResultSort,
// and as a Filters record written one member a line, "key:" then a type letter and the
// value: "b1"/"b0" a bool, "d" a decimal number (strtod: also nan, inf, hex floats), "s" a
// text. Whatever decodes must encode and decode back to itself, and a decoded Filters must
// give a sieve that admits what the filter rules admit on a small fixed index.
#include "FuzzCheck.h"

#include "index/EntryFlags.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "index/Unicode.h"
#include "search/ResultSort.h"
#include "search/Sieve.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using vesko::Filters;
using vesko::ResultSort;
using vesko::fuzz::require;

void checkSort(std::string_view json) {
    const std::optional<ResultSort> sort = ResultSort::fromJson(json);
    require(ResultSort::fromStored(json) == sort.value_or(ResultSort{}),
            "a stored sort is the decoded one or relevance ascending");
    if (!sort) return;
    require(ResultSort::fromJson(sort->toJson()) == sort, "an encoded sort decodes to itself");
}

Filters::Record recordOf(std::string_view input) {
    Filters::Record record;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon + 1 >= line.size()) continue;
        const std::string key(line.substr(0, colon));
        const std::string value(line.substr(colon + 2));
        switch (line[colon + 1]) {
        case 'b':
            record[key] = value == "1";
            break;
        case 'd':
            record[key] = std::strtod(value.c_str(), nullptr);
            break;
        default:
            record[key] = value;
            break;
        }
    }
    return record;
}

// A root with a hidden file, a document, an application bundle and a file inside it.
struct SmallIndex {
    vesko::NameTable names;
    vesko::FileIndex index;

    SmallIndex() {
        index.dirParent.append(0u);
        index.dirName.append(names.intern("/home/u"));
        index.rootPaths[0] = "/home/u";
        const std::uint32_t app = names.intern("Mail.app");
        index.dirParent.append(0u);
        index.dirName.append(app);
        using vesko::EntryFlags;
        index.appendEntry(names.intern(".bashrc"), 0, EntryFlags::none(), 700, 1000, 900, 0);
        index.appendEntry(names.intern("Report.PDF"), 0, EntryFlags::none(), 3u << 20, 1700000000,
                          1600000000, 1710000000);
        index.appendEntry(app, 0, EntryFlags::directory(), 4096, 1700000000, 0, 1700000000);
        index.appendEntry(names.intern("Info.plist"), 1, EntryFlags::none(), 0x80000400u,
                          0xFFFFFFFFu, 1, 2);
        index.appendEntry(names.intern("tar.gz"), 1, EntryFlags::deleted(), 1, 1, 1, 1);
    }
};

std::uint32_t dateOf(const vesko::FileIndex& index, std::size_t e, Filters::DateField field) {
    switch (field) {
    case Filters::DateField::modified:
        return index.entryModified[e];
    case Filters::DateField::created:
        return index.entryCreated[e];
    case Filters::DateField::accessed:
        return index.entryAccessed[e];
    }
    return 0;
}

// The filter rules read straight off the record, one entry at a time.
bool expectedAdmits(const Filters& f, const SmallIndex& small, std::size_t e,
                    std::chrono::system_clock::time_point now) {
    const vesko::FileIndex& index = small.index;
    const vesko::EntryFlags flags = index.flags(static_cast<std::int64_t>(e));
    if (flags.contains(vesko::EntryFlags::deleted())) return false;
    const bool folder = flags.contains(vesko::EntryFlags::directory());
    if ((folder && f.kind == Filters::Kind::filesOnly) ||
        (!folder && f.kind == Filters::Kind::foldersOnly))
        return false;
    const std::uint32_t size = index.entrySize[e];
    if (f.minimumBytes() && size < vesko::PackedSize::pack(f.minimumBytes())) return false;
    if (f.maximumBytes() && (folder || size > vesko::PackedSize::pack(f.maximumBytes())))
        return false;
    if (const auto after = f.modifiedAfter(now); after && dateOf(index, e, f.dateField) < *after)
        return false;
    const std::string_view name = small.names.foldedBytes(index.entryName[e]);
    if (!f.showInvisible && name.starts_with('.')) return false;
    if (const auto extensions = f.parsedExtensions(); !extensions.empty()) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot == 0) return false;
        if (std::find(extensions.begin(), extensions.end(), name.substr(dot + 1)) ==
            extensions.end())
            return false;
    }
    return f.showPackageContents || index.entryDir[e] != 1; // directory 1 is Mail.app
}

void checkSieve(const Filters& filters, const SmallIndex& small) {
    // The epoch, a present-day time and one past the 32-bit dates.
    for (const std::int64_t seconds : {0ll, 1700000000ll, 5000000000ll}) {
        const std::chrono::system_clock::time_point now{std::chrono::seconds(seconds)};
        const vesko::Search::Sieve sieve(filters, small.names, small.index, now);
        for (std::size_t e = 0; e < small.index.entryName.count(); ++e) {
            const bool folder = small.index.flags(static_cast<std::int64_t>(e))
                                    .contains(vesko::EntryFlags::directory());
            require(sieve.admits(static_cast<std::int64_t>(e), folder) ==
                        expectedAdmits(filters, small, e, now),
                    "the sieve admits what the filter rules admit");
        }
    }
}

void checkFilters(std::string_view input, const SmallIndex& small) {
    const Filters::Record record = recordOf(input);
    const Filters::Decoded decoded = Filters::decode(record);
    require(decoded.filters.has_value() == decoded.problem.empty(),
            "a rejected record says why, an accepted one does not");
    if (!decoded.filters) return;
    const Filters& filters = *decoded.filters;
    for (std::string_view key : Filters::recordKeys)
        require(record.find(key) != record.end(), "every key is required");
    const Filters::Decoded again = Filters::decode(filters.encode());
    require(again.filters == filters, "encoded filters decode to themselves");
    const int active = filters.activeCount();
    require(active >= 0 && active <= 11, "activeCount counts at most eleven settings");
    for (const std::string& extension : filters.parsedExtensions())
        require(!extension.empty() && extension.find_first_of(", .") == std::string::npos,
                "parsed extensions are non-empty pieces without separators");
    checkSieve(filters, small);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SmallIndex small;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkSort(input);
    checkFilters(input, small);
    return 0;
}
