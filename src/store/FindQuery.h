// SPDX-License-Identifier: MIT
// One `vesko --find` search as a value: what the command line asked for, answered the same
// way from the saved index or from a running window's live one, and sent between the two
// as one JSON line; the window's answer comes back as lines of escaped paths.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/ResultSort.h"
#include "search/Search.h"
#include "search/TopSelector.h"
#include "store/QueryService.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

struct FindQuery {
    std::string query;
    std::vector<std::string> roots; // normalised; a live index answers only for the same ones
    std::int64_t limit = 100;       // 0: every hit
    ResultSort sort;
    bool useRegex = false;
    bool matchPath = false;
    bool matchCase = false;
    bool matchDiacritics = false;
    bool countOnly = false;
    bool existing = false; // only hits that exist on disk now

    bool operator==(const FindQuery&) const = default;

    // Nothing when a text is not valid UTF-8, which JSON cannot carry.
    std::optional<QByteArray> toJson() const;
    static std::optional<FindQuery> fromJson(const QByteArray& json);

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
    QByteArray answerText(const FileIndex& index, const NameTable& names,
                          const QueryPreferences& preferences) const;
    // The path of a "path " line's rest; nothing when it is not escaped as answerText does.
    static std::optional<std::string> unescapedPath(std::string_view text);
};

} // namespace vesko
