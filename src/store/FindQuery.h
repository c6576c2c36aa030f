// SPDX-License-Identifier: GPL-3.0-or-later
// One `vesko --find` search as a value: what the command line asked for, answered the same
// way from the saved index or from a running window's live one, and sent between the two
// as one JSON line over the window's socket (the protocol is FindService's). Plain C++, so
// the command line asks without Qt.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/ResultSort.h"
#include "search/Search.h"
#include "search/TopSelector.h"
#include "store/QueryDescription.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesko {

struct FindQuery {
    std::string query;
    std::vector<std::string> roots; // normalised; a live index answers only for the same ones
    std::string within;             // absolute: only what lies in this folder; empty: all
    std::int64_t limit = 100;       // 0: every hit
    ResultSort sort;
    bool useRegex = false;
    bool matchPath = false;
    bool matchCase = false;
    bool matchDiacritics = false;
    bool countOnly = false;
    bool existing = false; // only hits that exist on disk now

    bool operator==(const FindQuery&) const = default;

    // The switches' names in the JSON line.
    static constexpr std::pair<const char*, bool FindQuery::*> switches[] = {
        {"regex", &FindQuery::useRegex},    {"path", &FindQuery::matchPath},
        {"case", &FindQuery::matchCase},    {"count", &FindQuery::countOnly},
        {"existing", &FindQuery::existing}, {"diacritics", &FindQuery::matchDiacritics},
    };

    // Nothing when a text is not valid UTF-8, which JSON cannot carry.
    std::optional<std::string> toJson() const;

    // The matches, enough of them that `limit` exist on disk when only existing ones count.
    Search::Result search(const FileIndex& index, const NameTable& names,
                          const TopSelector::KindLookup& kindOf,
                          const QueryPreferences& preferences) const;
    // Hands each path to show to `path`, in result order, as the file system spells it;
    // returns the number the run reports (printed by --count, 0 means "no hits").
    std::int64_t report(const Search::Result& result, const FileIndex& index,
                        const NameTable& names,
                        const std::function<void(std::string_view)>& path) const;

    // The window's answer: a line "path ESCAPED" per path to print (a backslash doubled, a
    // line feed as "\n"), then "found N", the number --count prints, then "ok".
    std::string answerText(const FileIndex& index, const NameTable& names,
                           const QueryPreferences& preferences) const;

    struct Answer {
        std::vector<std::string> paths;
        std::int64_t found = 0;
    };
    // Asks the instance listening at `socket`. Nothing when there is none, it declines, or
    // it has not started answering within `patience` or stalls as long in the middle:
    // nothing is printed before the whole answer is in, so a fallback changes no output.
    std::optional<Answer> ask(const std::string& socket, std::chrono::milliseconds patience) const;
};

} // namespace vesko
