// SPDX-License-Identifier: MIT
// The one answer the command-line modes need before they can search: the index of these
// roots. The saved archive is used when it was built for exactly these roots; otherwise
// the roots are scanned, with progress on standard error, and the archive is replaced.
#pragma once

#include "index/FileIndex.h"
#include "index/IndexArchive.h"
#include "index/NameTable.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class Settings;

namespace IndexSource {

struct Request {
    std::vector<std::string> roots; // normalised here, as the builder and the archive do
    std::string archivePath;        // empty: IndexArchive::defaultURL()
    // The user's excluded folders; asked only when a scan is needed, so a load never
    // touches the preferences.
    std::function<std::vector<std::string>()> excludedFolders;
    std::FILE* progress = stderr; // null: silent
    // `searchOnly` for a caller that never updates the index: the archive's columns are
    // then used in place instead of copied.
    IndexArchive::Use use = IndexArchive::Use::updatable;
};

struct Source {
    // Holds the mapping that `names` may read from: keep the two together.
    FileIndex index;
    SharedNameTable names;
    std::vector<std::string> roots; // normalised; root i is directory i
    bool scanned = false;           // false when the archive was loaded
};

struct Outcome {
    std::optional<Source> source;
    std::string problem; // why there is no source
};

// The home folder followed by every extra root that exists right now, in the order the
// user chose them: what the application indexes.
std::vector<std::string> usualRoots(const Settings& settings);

// Loads or builds. A scan that cannot complete is a problem; an archive that cannot be
// saved is only reported on `progress`, and the built index is still returned.
Outcome open(const Request& request);

} // namespace IndexSource
} // namespace vesko
