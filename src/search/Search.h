// SPDX-License-Identifier: GPL-3.0-or-later
// The one entry point of the engine: a query, the index and the name table in, the ordered
// page of hits, the match count and what the next keystroke can reuse out. Names first, then
// every entry once through the name bits, flags, filters and content, a large index in two
// halves on two threads whose pages are merged.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/ContentMatcher.h"
#include "search/Filters.h"
#include "search/FolderScope.h"
#include "search/NameRules.h"
#include "search/ResultOrder.h"
#include "search/ResultSort.h"
#include "search/SearchGeneration.h"
#include "search/SearchHit.h"
#include "search/Sieve.h"
#include "search/TopSelector.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

namespace Search {

struct Result {
    std::optional<std::string> regexProblem;
    int regexProblemCode = 0; // see RegexMatcher::problemCode
    QueryProblem queryProblem = QueryProblem::none;
    bool narrowable = true;
    std::vector<Hit> hits;
    std::int64_t totalMatches = 0;
    // With Request::keepsAll: every hit, `hits` settled at its head.
    std::shared_ptr<ResultOrder> order;
    std::vector<std::uint32_t> names;
    // With Request::keepsAll, a plain query (no filter, scope, path or content) and hits at
    // most an eighth of the entries: every hit in index order, for Narrowing::entries.
    std::shared_ptr<const std::vector<std::uint32_t>> entries;
    double duration = 0;
    std::vector<std::string> highlightTerms;
    // The hits are names one typing error from the query, which found nothing itself.
    bool nearMatches = false;
    // What relevance worked out of the index's folders; hand it to the next search of the
    // same generation of the index (Request::folderNoise).
    std::shared_ptr<const FolderNoise> folderNoise;
    // The folder the search was limited to, for the next search of it (Request::scope).
    std::shared_ptr<const FolderScope> scope;
};

struct Request {
    // The store passes it normalized (with the filters' matchDiacritics: once dropped, its
    // diacritics are gone); it is normalized again here.
    std::string query;
    const Narrowing* previous = nullptr;
    Filters filters;
    ResultSort sort;
    std::int64_t limit = 500;
    // Keep every hit in a ResultOrder besides the page of `limit`: 4 bytes and a bit a hit.
    bool keepsAll = false;
    ContentMatcher* content = nullptr;
    bool foldersFirst = false;
    std::string folderKind = "Folder";
    // Whether a term of Korean initial consonants also matches the syllables they begin.
    bool initialConsonants = true;
    // A plain word that finds nothing finds the names one typing error away instead (the
    // window offers them, marked; scripts get exact answers only).
    bool nearWhenEmpty = false;
    // Empty: never cancelled. Called from both threads of a split walk at once.
    std::function<bool()> isCancelled;
    TopSelector::KindLookup kindOf; // description of a file type by extension
    // Relevance puts the files the user acted on first (null: no use known) and the entries
    // of noise folders after the rest; a FolderNoise of an earlier search of this generation
    // of the index spares working out again the folders it covers.
    std::shared_ptr<const UsedFiles> usedFiles;
    std::shared_ptr<const FolderNoise> folderNoise;
    // Only what lies below this folder (absolute, bytes as stored); empty: the whole index.
    // A scope of the same folder from an earlier search of this generation of the index
    // spares walking the folders again; a folder the index lacks finds nothing.
    std::string within;
    std::shared_ptr<const FolderScope> scope;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    int firstWeekday = 1; // where "this week" begins: 0 Sunday to 6 Saturday
    // From this many entries on the walk is split across two threads: below it, starting a
    // thread costs more than it saves.
    std::size_t splitFrom = 65536;
};

// Entries are tested in this order: name bit, deleted flag, path, filters, and file contents
// last, so files are opened only for entries that passed everything else. The hits are
// those one walk in index order would keep: splitting the walk changes only its speed.
Result run(const Request& request, const FileIndex& index, const NameTable& names);

// The matched name ids as one bit per id, sized for every id the table can hand out.
std::vector<std::uint64_t> nameBits(const std::vector<std::uint32_t>& matched,
                                    std::uint32_t idUpperBound);

} // namespace Search
} // namespace vesko
