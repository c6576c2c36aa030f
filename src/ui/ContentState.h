// SPDX-License-Identifier: GPL-3.0-or-later
// What the middle of the search screen shows: a message for each state the search can be in,
// or the result list. One state at a time, chosen from the store's flags.
#pragma once

namespace vesko {

class IndexLifecycle;
class SearchSession;

enum class ContentState {
    building,     // nothing to search yet
    emptyQuery,   // nothing typed
    reading,      // a content search is reading files
    regexProblem, // the regular expression does not compile
    pressReturn,  // search as you type is off and the query has not run
    noResults,
    results,
};

// A pending Return or a broken query says more than an empty list, so they come first.
ContentState contentStateOf(const IndexLifecycle& lifecycle, const SearchSession& session);

} // namespace vesko
