// SPDX-License-Identifier: GPL-3.0-or-later
// The one answer the command-line modes need before they can search: the index of these
// roots. Each set of roots has its own archive, used when it is intact and was built for
// exactly these roots; otherwise the roots are scanned, with progress on standard error,
// and that set's archive is replaced. The least recently used archives beyond a few are
// removed, never the one of the usual roots (the window's).
#pragma once

#include "index/FileIndex.h"
#include "index/IndexArchive.h"
#include "index/NameTable.h"

#include <cstdio>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

namespace IndexSource {

struct Request {
    std::vector<std::string> roots; // normalised here, as the builder and the archive do
    std::string archivePath;        // empty: this set's archive in the cache folder
    // The user's excluded folders; asked only when a scan is needed, so a load never
    // touches the preferences.
    std::function<std::vector<std::string>()> excludedFolders;
    std::FILE* progress = stderr; // null: silent
    // `searchOnly` for a caller that never updates the index: the archive's columns are
    // then used in place instead of copied.
    IndexArchive::Use use = IndexArchive::Use::updatable;
    // With `searchOnly`: verify the archive's checksum on another thread while the caller
    // searches, unless the file passed a check before and is unchanged since; the caller
    // must then `confirm` the source before showing anything.
    bool checkInBackground = false;
    // Seconds after which a saved archive is scanned again instead of used; 0: never. For
    // roots that nothing keeps current, unlike the window's.
    double maxAge = 0;
    // The window's roots, whose archive is never removed to make room for another set's.
    // Asked only after a scan; null: protect only the archive just saved.
    std::function<std::vector<std::string>()> usualRoots;
};

struct Source {
    // Holds the mapping that `names` may read from: keep the two together.
    FileIndex index;
    SharedNameTable names;
    std::vector<std::string> roots; // normalised; root i is directory i
    bool scanned = false;           // false when the archive was loaded
    // The background check of the loaded archive, when one runs (see `confirm`).
    std::shared_future<bool> check;
    IndexArchive::FileMark mark; // of the loaded archive's file, as it was opened
};

struct Outcome {
    std::optional<Source> source;
    std::string problem; // why there is no source
};

// The home folder followed by every extra root that exists right now, in the order the
// user chose them: what the application indexes.
std::vector<std::string> usualRoots(const std::vector<std::string>& extraRoots);

// Loads or builds. A scan that cannot complete is a problem; an archive that cannot be
// saved is only reported on `progress`, and the built index is still returned.
Outcome open(const Request& request);

// Waits for the source's background check; false when the archive turned out damaged or
// was written to since it was opened, and everything found in it must be dropped (then
// `rescan`). Call it once the search has read what it needs.
bool confirm(const Source& source);

// False when another program wrote to the loaded archive since it was opened: what was read
// from it since the last `confirm` may be wrong. Always true for a scanned source.
bool unchanged(const Source& source);

// Scans the request's roots, replacing their archive, without looking at it: for an
// archive that `confirm` found damaged.
Outcome rescan(const Request& request);

} // namespace IndexSource
} // namespace vesko
