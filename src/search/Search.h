// SPDX-License-Identifier: MIT
// The one entry point of the engine: a query, the index and the name table in, the ordered
// page of hits, the match count and what the next keystroke can reuse out. One sequential
// pass: names first, then every entry once through the name bits, flags, filters, content.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/ContentMatcher.h"
#include "search/Filters.h"
#include "search/NameRules.h"
#include "search/ResultSort.h"
#include "search/SearchHit.h"
#include "search/TopSelector.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

// The store bumps it for every new search; a running search compares the value it was
// given and stops at its next check once another search has started.
class SearchGeneration {
public:
    std::int64_t advance() {
        std::lock_guard guard(lock_);
        return ++value_;
    }
    std::int64_t value() const {
        std::lock_guard guard(lock_);
        return value_;
    }
    std::function<bool()> cancellation(std::int64_t generation) const {
        return [this, generation] { return value() != generation; };
    }

private:
    mutable std::mutex lock_;
    std::int64_t value_ = 0;
};

namespace Search {

struct Result {
    std::optional<std::string> regexProblem;
    QueryProblem queryProblem = QueryProblem::none;
    bool narrowable = true;
    std::vector<Hit> hits;
    std::int64_t totalMatches = 0;
    std::vector<std::uint32_t> names;
    double duration = 0;
    std::vector<std::string> highlightTerms;
};

struct Request {
    std::string query; // the store passes it normalized; it is normalized again here
    const Narrowing* previous = nullptr;
    Filters filters;
    ResultSort sort;
    std::int64_t limit = 500;
    ContentMatcher* content = nullptr;
    bool foldersFirst = false;
    std::string folderKind = "Folder";
    std::function<bool()> isCancelled; // empty: never cancelled
    TopSelector::KindLookup kindOf;    // description of a file type by extension
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

// Entries are tested in this order: name bit, path, deleted flag, filters, and file contents
// last, so files are opened only for entries that passed everything else.
Result run(const Request& request, const FileIndex& index, const NameTable& names);

// The matched name ids as one bit per id, sized for every id the table can hand out.
std::vector<std::uint64_t> nameBits(const std::vector<std::uint32_t>& matched,
                                    std::uint32_t idUpperBound);

} // namespace Search
} // namespace vesko
