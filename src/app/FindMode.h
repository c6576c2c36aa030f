// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko --find QUERY`: the scripting mode. Prints the full path of each hit, one per line
// (or NUL-separated), in result order, or only the number of matches, from the saved index
// of the roots, scanning them first when there is none. Exit status 0 with hits, 1 without,
// 2 for bad usage (no query, too), an invalid regular expression, a root that is no folder or
// a failed scan.
#pragma once

#include "app/DevOptions.h"
#include "search/ResultSort.h"
#include "search/TopSelector.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vesko::FindMode {

inline constexpr int statusHits = 0;
inline constexpr int statusNoHits = 1;
inline constexpr int statusTrouble = 2;

struct Options {
    std::string query;
    std::optional<std::string> root; // as given; replaces the usual roots
    std::optional<std::string> in;   // as given; only what lies in this folder
    std::int64_t limit = 100;        // 0: every hit
    ResultSort sort;                 // relevance unless --sort says otherwise
    bool useRegex = false;
    bool matchPath = false;
    bool matchCase = false;
    bool matchDiacritics = false;
    bool countOnly = false;
    bool print0 = false;
    bool existing = false; // only hits that exist on disk now (the archive may be older)
    bool help = false;

    bool operator==(const Options&) const = default;
};

// The options, or the usage problem to show. Every argument but the program path is read:
// "--find" itself is skipped, the one argument that is not an option is the query, and
// after "--" every argument is the query (for queries that begin with "--").
struct Parsed {
    std::optional<Options> options;
    std::string problem;
};
Parsed parse(const Arguments& args);

// Whether the run sorts paths by kind, whose names only the desktop's MIME database knows.
bool needsKinds(const Arguments& args);

// Runs the mode on standard output and standard error; returns the exit status. On a
// terminal, paths holding control characters or invalid UTF-8 are shown quoted as $'...';
// piped output and --print0 carry the bytes as stored. `kindOf` names the kinds of a sort by
// kind.
int run(const Arguments& args, const TopSelector::KindLookup& kindOf);

} // namespace vesko::FindMode
