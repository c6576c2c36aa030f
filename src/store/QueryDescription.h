// SPDX-License-Identifier: GPL-3.0-or-later
// What a search asks for and the user's preferences that change what it finds, turned into
// the engine's request by the one builder that every asker uses: the window, its launchers,
// `vesko --find` through the window and `vesko --find` alone. Plain C++, so the command line
// builds its request without Qt.
#pragma once

#include "store/SearchOptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vesko {

class Preferences;
class UsedFiles;
namespace Search {
struct Request;
}

// The user's preferences that change what a query finds. Diacritics are the description's
// own switch: the window's sidebar and --find's option set it per search. Excluded folders
// never reach the index, so every asker of the one index already agrees on them.
struct QueryPreferences {
    bool initialConsonants = true;
    // Where "This Week" begins, 0 Sunday to 6 Saturday: the user's locale's, as the
    // desktop's calendar has it.
    int firstWeekday = 1;
    // The files the user acted on, which relevance puts first; null when none.
    std::shared_ptr<const UsedFiles> usedFiles;

    static QueryPreferences of(const Preferences& preferences);
    // With the use counts kept beside `settingsFile`: how the window and `vesko --find`
    // alike find them.
    static QueryPreferences beside(const std::string& settingsFile, bool initialConsonants);
};

// What a search asks for, whoever asks it.
struct QueryDescription {
    std::string text; // as typed; normalized by the builder
    Filters filters;  // the matching switches (case, diacritics, regex, path) among them
    ResultSort sort;
    std::int64_t limit = 500; // INT64_MAX: every hit
    bool foldersFirst = false;
    std::string folderKind = "Folder";
    // The description of a file type by extension, for sorting by kind; empty when unused.
    std::function<std::string(std::string_view extension)> kindOf;
    std::string within; // absolute: only what lies in this folder; empty: the whole index

    // The engine's request for this search under these preferences.
    Search::Request request(const QueryPreferences& preferences) const;
};

} // namespace vesko
