// SPDX-License-Identifier: GPL-3.0-or-later
// The timed-search half of the scan report: sorts, boolean and regular-expression queries,
// content searches, path searches and typing, each run once through the real engine against
// one index and printed with its match count and time.
#pragma once

#include "app/ReportOutput.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/Search.h"

#include <string>
#include <vector>

namespace vesko {

class SearchProbe {
public:
    SearchProbe(ReportOutput& out, const FileIndex& index, const NameTable& names)
        : out_(out), index_(index), names_(names) {}

    // A plain query with default filters, in relevance order.
    static Search::Result plain(const std::string& query, const FileIndex& index,
                                const NameTable& names, std::int64_t limit = 0);

    void sortSection();
    void booleanSection();
    void contentSection();
    // Path searches under `folder`, with path matching off and then on.
    void pathSection(const std::string& folder);
    // Each query as one more keystroke: narrowed by the one before it when that allows it.
    void typingSection(const std::vector<std::string>& queries);

private:
    Search::Result run(const Search::Request& request) const;
    void showPaths(const Search::Result& result, std::size_t count, const std::string& indent);

    ReportOutput& out_;
    const FileIndex& index_;
    const NameTable& names_;
};

} // namespace vesko
