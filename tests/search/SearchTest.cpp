// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Search.h"

#include "index/IndexArchive.h"
#include "index/Unicode.h"
#include "scan/IndexBuilder.h"
#include "scan/IndexUpdater.h"
#include "search/SearchGeneration.h"
#include "support/MemoryIndex.h"
#include "support/TempTree.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <tuple>

namespace vesko {
namespace {

using Paths = std::set<std::string>;

// A small real tree, scanned once, and a reference listing to compute expectations from.
class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tree = new test::TempTree;
        for (const char* file :
             {"docs/readme.md", "docs/Report 2023.pdf", "mydocs2/readme.txt", "src/main.swift",
              "src/index.swift", "src/test_index.swift", "src/Kotlin/app.kt", "swift/notes.txt",
              "보고서.hwp", "re\xCC\x81sume\xCC\x81.docx", "Swift-Guide.PDF"})
            tree->file(file, "plain text");
        built = new IndexBuilder::Result(
            IndexBuilder::build({tree->root()}, 2, std::make_shared<NameTable>()));
        for (const auto& relative : tree->listAll())
            listing.push_back(relative);
    }
    static void TearDownTestSuite() {
        delete built;
        delete tree;
    }

    static Paths reference(const std::function<bool(const std::string& lowerName)>& test) {
        Paths paths;
        for (const auto& relative : listing) {
            const auto slash = relative.rfind('/');
            const std::string name =
                slash == std::string::npos ? relative : relative.substr(slash + 1);
            if (test(Unicode::folded(name))) paths.insert(Unicode::nfc(relative));
        }
        return paths;
    }
    static Paths containing(const std::string& needle) {
        const std::string n = Unicode::folded(needle);
        return reference(
            [&](const std::string& name) { return name.find(n) != std::string::npos; });
    }

    static Search::Result run(Search::Request request, const FileIndex& index) {
        return Search::run(request, index, *built->names);
    }
    static Search::Result run(const std::string& query, std::int64_t limit = 1000) {
        Search::Request request;
        request.query = query;
        request.limit = limit;
        return run(request, built->index);
    }
    static Paths pathsOf(const Search::Result& result) {
        Paths paths;
        for (const auto& hit : result.hits) {
            const std::string path = built->index.path(hit.entry, *built->names);
            paths.insert(Unicode::nfc(path.substr(tree->root().size() + 1)));
        }
        return paths;
    }

    static inline test::TempTree* tree = nullptr;
    static inline IndexBuilder::Result* built = nullptr;
    static inline std::vector<std::string> listing;
};

Paths minus(Paths a, const Paths& b) {
    for (const auto& p : b)
        a.erase(p);
    return a;
}
Paths plus(Paths a, const Paths& b) {
    a.insert(b.begin(), b.end());
    return a;
}

TEST_F(SearchTest, QueriesMatchAnIndependentReading) {
    const std::pair<std::string, Paths> cases[] = {
        {"swift", containing("swift")},
        {"swift !test", minus(containing("swift"), containing("test"))},
        {"swift|.kt", plus(containing("swift"), containing(".kt"))},
        {"<swift|kotlin> !index",
         minus(plus(containing("swift"), containing("kotlin")), containing("index"))},
        {"index swift", reference([](const std::string& n) {
             return n.find("index") != std::string::npos && n.find("swift") != std::string::npos;
         })},
        {"\"report 2023\"", containing("report 2023")},
        {"<swift", containing("<swift")}, // malformed: a plain substring
        {"보고서", containing("보고서")},
        {"résumé", containing("résumé")}, // the name on disk is NFD
        {"no-such-name", {}},
    };
    for (const auto& [query, expected] : cases) {
        const auto result = run(query);
        EXPECT_EQ(pathsOf(result), expected) << query;
        EXPECT_EQ(result.totalMatches, static_cast<std::int64_t>(expected.size())) << query;
    }
    EXPECT_EQ(run("").totalMatches, 0);
}

// A home whose application data holds copies of the user's files: the copies lie shallower
// and come first in index order, so only the demotion of noise folders puts the user's own
// first; among the user's own, the newer comes first, whatever its depth.
struct RelevanceTest : ::testing::Test, test::MemoryIndex {
    static constexpr std::uint32_t now = 1'700'000'000, day = 86400;
    RelevanceTest() { root("/home/u"); }
    std::int64_t add(const std::string& path, std::uint32_t age) {
        return MemoryIndex::add(path, 0, test::Dates::all(now - age));
    }
    std::vector<std::string> order(const std::string& query,
                                   std::shared_ptr<const UsedFiles> used = nullptr) {
        Search::Request request;
        request.query = query;
        request.now = std::chrono::system_clock::time_point(std::chrono::seconds(now));
        request.usedFiles = std::move(used);
        std::vector<std::string> paths;
        for (const auto& hit : Search::run(request, index, names).hits)
            paths.push_back(path(hit.entry).substr(std::string("/home/u/").size()));
        return paths;
    }
};

TEST_F(RelevanceTest, UsersOwnNewerFilesComeBeforeNoiseAtTheSameRank) {
    add("Projects/app/target/report.pdf", 0); // deeper, so after the noise added later
    add(".cache/report.pdf", 0);
    add("node_modules/report.pdf", 0);
    add("build/report.pdf", 0);
    add("Documents/old/report.pdf", 400 * day);
    add("Documents/2024/q3/report.pdf", 2 * day);
    add("my-report.pdf", 0);
    EXPECT_EQ(order("report"),
              (std::vector<std::string>{"Documents/2024/q3/report.pdf", "Documents/old/report.pdf",
                                        ".cache/report.pdf", "node_modules/report.pdf",
                                        "build/report.pdf", "Projects/app/target/report.pdf",
                                        "my-report.pdf"}));
}

// Boolean queries were listed in index order; each hit now ranks by its best word.
TEST_F(RelevanceTest, BooleanQueriesRankByTheirBestWord) {
    add("notes about pdf.txt", 0);
    add("minutes.docx", 0);
    add("docx-template.odt", 0);
    add("pdf-guide.pdf", 0);
    add(".local/share/pdf-manual.pdf", 0);
    EXPECT_EQ(order("pdf | docx"),
              (std::vector<std::string>{"pdf-guide.pdf", "docx-template.odt",
                                        ".local/share/pdf-manual.pdf", "minutes.docx",
                                        "notes about pdf.txt"}));
    EXPECT_EQ(order("pdf !guide"),
              (std::vector<std::string>{".local/share/pdf-manual.pdf", "notes about pdf.txt"}));
}

// A page of one: the name that is the whole word must count as beginning with it, typed
// at once or narrowed from the key before, or the longer name fills the page alone.
TEST_F(RelevanceTest, TheWholeWordBeginsWithItself) {
    add("Documents/reports.txt", 0);
    const std::int64_t exact = add("Documents/report", 0);
    Search::Request request;
    request.limit = 1;
    request.now = std::chrono::system_clock::time_point(std::chrono::seconds(now));
    request.query = "repor";
    const auto shorter = Search::run(request, index, names);
    const Search::Narrowing previous{"repor", shorter.names};
    request.query = "report";
    for (const Search::Narrowing* narrowing :
         {static_cast<const Search::Narrowing*>(nullptr), &previous}) {
        request.previous = narrowing;
        const auto result = Search::run(request, index, names);
        ASSERT_EQ(result.hits.size(), 1u);
        EXPECT_EQ(result.hits.front().entry, exact) << (narrowing ? "narrowed" : "typed");
    }
}

// A file opened through Vesko comes before better matches, the most used first; its name
// elsewhere (a copy in a cache) gains nothing.
TEST_F(RelevanceTest, UsedFilesComeFirstByHowOftenAndLately) {
    add("report.pdf", 0);
    const std::int64_t annual = add("Documents/annual-report.pdf", 30 * day);
    add("Documents/weekly report.txt", 30 * day);
    add(".cache/weekly report.txt", 0);
    UseCounts counts;
    counts.record(path(annual), now - 3 * day);
    for (int k = 0; k < 3; ++k)
        counts.record("/home/u/Documents/weekly report.txt", now);
    const auto used = std::make_shared<const UsedFiles>(counts, now);
    EXPECT_EQ(
        order("report", used),
        (std::vector<std::string>{"Documents/weekly report.txt", "Documents/annual-report.pdf",
                                  "report.pdf", ".cache/weekly report.txt"}));
}

// A mistyped word finds the names one error away, marked as such, only where the window
// asks for them and only when the word itself finds nothing.
TEST_F(SearchTest, NearMatchesStandInOnlyForAnEmptyAnswer) {
    const auto near = [](const std::string& query, Filters filters = {}) {
        Search::Request request;
        request.query = query;
        request.filters = filters;
        request.nearWhenEmpty = true;
        return run(request, built->index);
    };
    const auto typo = near("reprot");
    EXPECT_TRUE(typo.nearMatches);
    EXPECT_EQ(pathsOf(typo), Paths{"docs/Report 2023.pdf"});
    EXPECT_EQ(typo.totalMatches, 1);
    EXPECT_TRUE(typo.highlightTerms.empty());
    EXPECT_TRUE(run("reprot").hits.empty()); // scripts ask for exact answers
    EXPECT_FALSE(near("report").nearMatches);
    Filters folders;
    folders.kind = Filters::Kind::foldersOnly;
    EXPECT_TRUE(near("reprot", folders).hits.empty()); // the filters still hold
    Filters pattern;
    pattern.useRegex = true;
    EXPECT_FALSE(near("reprot", pattern).nearMatches);
    EXPECT_FALSE(near("docs/reprot").nearMatches); // a path says exactly where
}

// 200,000 entries of one name, so the walk checks for cancellation at entries 0 and 65536
// and, when split, in both halves.
struct SearchCancellation : ::testing::Test, test::MemoryIndex {
    Search::Request request;

    SearchCancellation() {
        root("/r");
        for (int i = 0; i < 200'000; ++i)
            file("same.txt");
        request.query = "same";
    }
};

TEST_F(SearchCancellation, StopsAtTheNextBlockOfEntriesInOneWalkOrBothHalves) {
    request.splitFrom = std::numeric_limits<std::size_t>::max();
    int calls = 0;
    request.isCancelled = [&] { return ++calls >= 3; }; // after the names, then at entry 0
    EXPECT_EQ(Search::run(request, index, names).totalMatches, 65536);

    request.isCancelled = [] { return true; };
    const auto early = Search::run(request, index, names);
    EXPECT_EQ(early.totalMatches, 0);
    EXPECT_FALSE(early.names.empty());

    request.splitFrom = 0;
    SearchGeneration generation;
    const auto mine = generation.advance();
    request.isCancelled = generation.cancellation(mine);
    EXPECT_EQ(Search::run(request, index, names).totalMatches, 200'000);

    std::atomic<int> halves = 0; // the name stage passes; every check of the walk stops it
    request.isCancelled = [&] { return ++halves >= 2; };
    const auto stopped = Search::run(request, index, names);
    EXPECT_EQ(stopped.totalMatches, 0);
    EXPECT_TRUE(stopped.hits.empty());
    EXPECT_EQ(halves.load(), 3);

    generation.advance();
    EXPECT_TRUE(generation.cancellation(mine)());
}

// Random indexes loaded from an archive, with entries appended after loading, so the walk
// meets the mapped run, the appended run and a split inside either, with some files used
// and names beginning with "." among the folders. For every sort, with and
// without folders first, and limits that the names beginning with the query fill or do not,
// one walk and two halves both give the brute-force page: every match, sorted by
// `TopSelector::precedes` (itself checked against plain keys) and cut to the limit.
std::vector<std::pair<std::int64_t, bool>> entriesOf(const std::vector<Search::Hit>& hits) {
    std::vector<std::pair<std::int64_t, bool>> entries;
    for (const auto& hit : hits)
        entries.emplace_back(hit.entry, hit.isDirectory);
    return entries;
}

struct SearchWalkEquivalence : ::testing::Test {
    std::mt19937 rng{static_cast<std::mt19937::result_type>(test::testSeed("SearchWalkSplit"))};
    test::TempTree folder;

    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng); }
    std::string randomName() {
        static const std::string alphabet = "aAbs.- ";
        // Long shared prefixes, so names are told apart past what the walk caches of them.
        std::string name = pick(0, 3) == 0 ? "LongCommonPrefix" : "";
        for (int i = pick(1, 5); i > 0; --i)
            name += alphabet[static_cast<std::size_t>(pick(0, 6))];
        return name;
    }
    void addEntries(FileIndex& index, NameTable& names, int count) {
        for (int k = 0; k < count; ++k) {
            const std::uint32_t name = names.intern(randomName());
            const auto parent = static_cast<std::uint32_t>(pick(0, index.directoryCount() - 1));
            const bool isFolder = pick(0, 5) == 0, isDeleted = pick(0, 20) == 0;
            const auto value = static_cast<std::uint32_t>(pick(0, 30));
            EntryFlags flags = isFolder ? EntryFlags::directory() : EntryFlags::none();
            if (isDeleted) flags = flags | EntryFlags::deleted();
            index.appendEntry(name, parent, flags, value, value * 7 % 13, value * 5 % 11, value);
            if (isFolder && !isDeleted) {
                index.dirParent.append(parent);
                index.dirName.append(name);
            }
        }
    }
    std::optional<IndexArchive::Loaded> randomIndex(int mapped, int appended) {
        FileIndex index;
        NameTable names;
        for (const char* root : {"/r", "/q"}) {
            index.rootPaths[index.directoryCount()] = root;
            index.dirName.append(names.intern(root));
            index.dirParent.append(index.directoryCount());
        }
        addEntries(index, names, mapped);
        const std::string path = folder.path("index.veskoindex");
        if (IndexArchive::save(index, names, 0, 0, path)) return std::nullopt;
        auto loaded = IndexArchive::load({"/r", "/q"}, path, IndexArchive::Use::searchOnly);
        if (loaded) addEntries(loaded->index, *loaded->names, appended);
        return loaded;
    }
};

// Long shared prefixes, so kinds are told apart past what the selector caches of them.
std::string kindOf(std::string_view extension) {
    if (extension == "a" || extension == "b") return "Text";
    return "Document of type " + std::string(extension);
}

constexpr std::int64_t testNow = 1'700'000'000;

// Files used lately (five times today, or once two days ago), for the relevance sort.
std::shared_ptr<const UsedFiles> usedAmong(const FileIndex& index, const NameTable& names,
                                           std::mt19937& rng) {
    UseCounts counts;
    for (int k = 0; k < 12; ++k) {
        const auto e = static_cast<std::int64_t>(rng() % static_cast<std::uint32_t>(index.count()));
        for (int n = k % 2 == 0 ? 5 : 1; n > 0; --n)
            counts.record(index.path(e, names), k % 2 == 0 ? testNow : testNow - 2 * 86400);
    }
    return std::make_shared<const UsedFiles>(counts, testNow);
}

// The selector's order of a column sort, checked against keys built here from plain strings
// and columns (index order breaks ties; folders first only orders the two groups). How
// relevance ranks is the relevance tests' matter; here it only has to agree with the walk.
void expectOrderOfPlainKeys(const std::vector<std::int64_t>& sorted, TopSelector& reference,
                            const FileIndex& index, const NameTable& names, ResultSort sort,
                            bool foldersFirst) {
    using Key = std::tuple<std::uint64_t, std::string, std::string>;
    const auto key = [&](std::int64_t e) -> Key {
        const auto i = static_cast<std::size_t>(e);
        const std::string name(names.foldedBytes(index.entryName[i]));
        switch (sort.field) {
        case ResultSort::Field::name:
            return {0, name, ""};
        case ResultSort::Field::path: {
            std::string dir = index.pathOfDirectory(index.entryDir[i], names);
            std::transform(dir.begin(), dir.end(), dir.begin(), ::tolower);
            return {0, dir, name};
        }
        case ResultSort::Field::kind:
            return {0, reference.kindKey(e), name};
        case ResultSort::Field::size:
            return {index.entrySize[i], "", ""};
        case ResultSort::Field::modified:
            return {index.entryModified[i], "", ""};
        case ResultSort::Field::created:
            return {index.entryCreated[i], "", ""};
        case ResultSort::Field::accessed:
            return {index.entryAccessed[i], "", ""};
        default:
            return {};
        }
    };
    if (sort.field == ResultSort::Field::relevance) return;
    for (std::size_t k = 1; k < sorted.size(); ++k) {
        const std::int64_t a = sorted[k - 1], b = sorted[k];
        if (foldersFirst && index.flags(a).contains(EntryFlags::directory()) !=
                                index.flags(b).contains(EntryFlags::directory()))
            continue;
        const Key x = key(a), y = key(b);
        ASSERT_TRUE(sort.ascending ? x < y || (x == y && a < b) : y < x || (x == y && a < b)) << k;
    }
}

// The whole list kept besides the page: pages settled in random order, single positions
// looked up before their part is sorted, and a hit taken out and put back, all agree with
// the full sort, whether the order was prepared by itself or adopted a prepared copy; a copy
// prepared before an edit is refused.
void expectWholeOrder(Search::Request request, const FileIndex& index, const NameTable& names,
                      const std::vector<std::int64_t>& sorted, bool adopts) {
    request.keepsAll = true;
    request.limit = 40;
    request.splitFrom = 0;
    const auto result = Search::run(request, index, names);
    if (sorted.empty()) return;
    ASSERT_TRUE(result.order);
    ResultOrder& order = *result.order;
    ASSERT_EQ(order.size(), sorted.size());
    if (adopts) {
        ResultOrder prepared = order, edited = order, stale = order;
        ASSERT_TRUE(prepared.prepare());
        ASSERT_TRUE(stale.prepare());
        edited.erase(sorted.size() - 1);
        EXPECT_FALSE(edited.adopt(std::move(stale)));
        ASSERT_TRUE(order.adopt(std::move(prepared)));
    }
    std::mt19937 rng(static_cast<std::mt19937::result_type>(sorted.size()));
    for (std::size_t k = 0; k < sorted.size(); k += sorted.size() / 5 + 1)
        ASSERT_EQ(order.positionOf(static_cast<std::uint32_t>(sorted[k])), k);
    constexpr std::size_t page = 64;
    std::vector<std::size_t> starts;
    for (std::size_t k = 0; k < sorted.size(); k += page)
        starts.push_back(k);
    std::shuffle(starts.begin(), starts.end(), rng);
    for (const std::size_t start : starts) {
        order.settle(start, start + page);
        for (std::size_t k = start; k < std::min(start + page, sorted.size()); ++k)
            ASSERT_EQ(order.entryAt(k), sorted[k]) << k;
    }
    const std::size_t middle = sorted.size() / 2;
    order.erase(middle);
    order.insert(middle, static_cast<std::uint32_t>(sorted[middle]));
    for (std::size_t k = 0; k < sorted.size(); ++k)
        ASSERT_EQ(order.entryAt(k), sorted[k]) << k;
}

TEST_F(SearchWalkEquivalence, SplitAndTieredWalksGiveTheBruteForcePage) {
    for (const auto& [mapped, appended] : {std::pair{900, 200}, {200, 900}}) {
        auto loaded = randomIndex(mapped, appended);
        ASSERT_TRUE(loaded);
        const FileIndex& index = loaded->index;
        const NameTable& names = *loaded->names;
        ASSERT_GT(index.entryName.mappedCount(), 0u);
        const auto used = usedAmong(index, names, rng);
        for (const char* query : {"s", "a", "ab", "a.", "-", "longcommon"}) {
            std::vector<std::int64_t> matches;
            for (std::int64_t e = 0; e < index.count(); ++e)
                if (!index.flags(e).contains(EntryFlags::deleted()) &&
                    names.foldedBytes(index.entryName[static_cast<std::size_t>(e)]).find(query) !=
                        std::string_view::npos)
                    matches.push_back(e);
            for (const auto& [field, text] : ResultSort::fieldTexts)
                for (const bool ascending : {true, false})
                    for (const bool foldersFirst : {false, true}) {
                        SCOPED_TRACE(std::string(query) + " " + std::string(text) +
                                     (ascending ? " up" : " down") +
                                     (foldersFirst ? " folders first" : "") + " mapped " +
                                     std::to_string(mapped));
                        const ResultSort sort{field, ascending};
                        TopSelector reference(0, sort, index, names, query, foldersFirst, "Folder",
                                              kindOf);
                        reference.rankWith({{query}, FolderNoise::of(index, names), used, testNow});
                        auto sorted = matches;
                        std::stable_sort(sorted.begin(), sorted.end(),
                                         [&](auto a, auto b) { return reference.precedes(a, b); });
                        ASSERT_NO_FATAL_FAILURE(expectOrderOfPlainKeys(sorted, reference, index,
                                                                       names, sort, foldersFirst));
                        Search::Request request;
                        request.usedFiles = used;
                        request.now =
                            std::chrono::system_clock::time_point(std::chrono::seconds(testNow));
                        request.query = query;
                        request.sort = sort;
                        request.foldersFirst = foldersFirst;
                        request.kindOf = kindOf;
                        for (const std::int64_t limit : {0, 1, 40, 5000}) {
                            std::vector<Search::Hit> expected;
                            for (std::size_t k = 0; k < sorted.size() && k < std::size_t(limit);
                                 ++k)
                                expected.push_back({sorted[k], index.flags(sorted[k]).contains(
                                                                   EntryFlags::directory())});
                            request.limit = limit;
                            for (const std::size_t splitFrom :
                                 {std::size_t{0}, std::numeric_limits<std::size_t>::max()}) {
                                request.splitFrom = splitFrom;
                                const auto result = Search::run(request, index, names);
                                ASSERT_EQ(result.totalMatches, std::ssize(matches));
                                ASSERT_EQ(entriesOf(result.hits), entriesOf(expected))
                                    << "limit " << limit << ", split from " << splitFrom;
                            }
                        }
                        ASSERT_NO_FATAL_FAILURE(
                            expectWholeOrder(request, index, names, sorted, ascending));
                    }
        }
    }
}

// Each key that extends the word walks only the earlier key's hits where they were kept:
// the answer is the fresh search's, in one walk or two, with a filter added at any key, and
// the kept hits are the fresh search's too.
TEST_F(SearchWalkEquivalence, NarrowingByEarlierHitsGivesTheFreshAnswer) {
    for (const auto& [mapped, appended] : {std::pair{900, 200}, {200, 900}}) {
        auto loaded = randomIndex(mapped, appended);
        ASSERT_TRUE(loaded);
        const FileIndex& index = loaded->index;
        const NameTable& names = *loaded->names;
        int narrowedByHits = 0;
        for (const auto& typed : {std::vector<std::string>{"l", "lo", "long", "longc"},
                                  std::vector<std::string>{"a", "ab", "ab."}}) {
            for (const bool foldersOnly : {false, true})
                for (const std::size_t splitFrom :
                     {std::size_t{0}, std::numeric_limits<std::size_t>::max()}) {
                    std::optional<Search::Narrowing> previous;
                    for (std::size_t k = 0; k < typed.size(); ++k) {
                        SCOPED_TRACE(typed[k] + (foldersOnly ? " folders only" : "") +
                                     " split from " + std::to_string(splitFrom));
                        Search::Request request;
                        request.query = typed[k];
                        request.keepsAll = true;
                        request.limit = 30;
                        request.splitFrom = splitFrom;
                        // The filter comes with the last key: the hits kept before it are
                        // filtered, the hits this key keeps are not kept at all.
                        if (foldersOnly && k + 1 == typed.size())
                            request.filters.kind = Filters::Kind::foldersOnly;
                        const auto fresh = Search::run(request, index, names);
                        request.previous = previous ? &*previous : nullptr;
                        const auto narrowed = Search::run(request, index, names);
                        ASSERT_EQ(narrowed.totalMatches, fresh.totalMatches);
                        ASSERT_EQ(entriesOf(narrowed.hits), entriesOf(fresh.hits));
                        ASSERT_EQ(narrowed.entries != nullptr, fresh.entries != nullptr);
                        if (fresh.entries) {
                            ASSERT_EQ(*narrowed.entries, *fresh.entries);
                        }
                        if (request.filters.kind != Filters::Kind::all) {
                            EXPECT_FALSE(fresh.entries);
                        }
                        if (previous && previous->entries) ++narrowedByHits;
                        previous = Search::Narrowing{.query = Search::normalize(typed[k]),
                                                     .names = narrowed.names,
                                                     .entries = narrowed.entries};
                    }
                }
        }
        EXPECT_GT(narrowedByHits, 0) << "no key had earlier hits to walk";
    }
}

// A saved archive is searched a part at a time (ArchiveWindow): occurrences that straddle two
// parts, names longer than a part and the parts' last bytes must count as in memory. A rare
// text is searched only in the blocks of names that can hold it (NameBlockFilter): one name
// in six carries one of sixty marks, so each mark lies in some blocks of a shard and not in
// others, at their first and last names too, and in names interned after the load.
TEST_F(SearchWalkEquivalence, PartsOfASavedArchiveMatchLikeTheWholeText) {
    FileIndex index;
    NameTable names;
    index.rootPaths[0] = "/r";
    index.dirName.append(names.intern("/r"));
    index.dirParent.append(0);
    auto name = [&](int length) {
        std::string text;
        for (int i = 0; i < length; ++i)
            text += "abc-"[pick(0, 3)];
        if (pick(0, 5) == 0) text.insert(pick(0, length), "x" + std::to_string(pick(10, 69)));
        return text;
    };
    for (int k = 0; k < 200000; ++k)
        index.appendEntry(names.intern(name(k % 50000 == 7 ? 40000 : pick(20, 90))), 0,
                          EntryFlags::none(), 0, 0, 0, 0);
    const std::string path = folder.path("parts.veskoindex");
    ASSERT_FALSE(IndexArchive::save(index, names, 0, 0, path));
    auto loaded = IndexArchive::load({"/r"}, path, IndexArchive::Use::searchOnly);
    ASSERT_TRUE(loaded && loaded->names->blockFilter());
    for (int k = 0; k < 3000; ++k)
        loaded->index.appendEntry(loaded->names->intern(name(pick(20, 90))), 0, EntryFlags::none(),
                                  0, 0, 0, 0);
    for (const char* query : {"cba-a", "-c-bc", "a-b-c", "b-ab", "ab cc--", "cc-b !aaa", "x10",
                              "x23", "x31a", "-x47", "x52|x69", "x58 c-c"}) {
        const auto rule = Search::chooseRule(query, false, false, false);
        std::int64_t expected = 0;
        for (std::int64_t e = 0; e < loaded->index.count(); ++e) {
            const auto found =
                loaded->names->foldedBytes(loaded->index.entryName[static_cast<std::size_t>(e)]);
            expected += rule.rule->matches(reinterpret_cast<const std::uint8_t*>(found.data()),
                                           found.size());
        }
        Search::Request request;
        request.query = query;
        request.limit = 0;
        for (const std::size_t splitFrom :
             {std::size_t{0}, std::numeric_limits<std::size_t>::max()}) {
            request.splitFrom = splitFrom;
            EXPECT_EQ(Search::run(request, loaded->index, *loaded->names).totalMatches, expected)
                << query << ", split from " << splitFrom;
        }
    }
}

// What a scope admits, by path below the tree's root, over a split and an unsplit walk alike.
Paths scopedPaths(const test::TempTree& tree, const FileIndex& index, const NameTable& names,
                  const std::string& query, const std::string& within,
                  std::shared_ptr<const FolderScope> older = {}) {
    Search::Request request;
    request.query = query;
    request.limit = std::numeric_limits<std::int64_t>::max();
    request.within = within;
    request.scope = std::move(older);
    Paths paths;
    for (const std::size_t splitFrom : {std::size_t{0}, std::numeric_limits<std::size_t>::max()}) {
        request.splitFrom = splitFrom;
        const auto result = Search::run(request, index, names);
        EXPECT_EQ(result.totalMatches, static_cast<std::int64_t>(result.hits.size())) << within;
        for (const auto& hit : result.hits)
            paths.insert(index.path(hit.entry, names).substr(tree.root().size() + 1));
    }
    return paths;
}

// `a/b` must not take in its sibling `a/bc`, nor a folder whose name is not UTF-8 the folder
// its lossy decoding names.
TEST(FolderScopeTest, KeepsToOneSubtree) {
    test::TempTree tree;
    for (const char* file : {"a/x1", "a/b/x2", "a/b/deep/x3", "a/bc/x4", "a/bad\xFF/x5",
                             "a/bad\xEF\xBF\xBD/x6", "other/x7"})
        tree.file(file);
    const auto built = IndexBuilder::build({tree.root()}, 2, std::make_shared<NameTable>());
    const auto& names = *built.names;
    const auto scoped = [&](const std::string& within) {
        return scopedPaths(tree, built.index, names, "x", within);
    };
    EXPECT_EQ(scoped(tree.path("a/b")), (Paths{"a/b/x2", "a/b/deep/x3"}));
    EXPECT_EQ(scoped(tree.path("a/b") + "//"), scoped(tree.path("a/b")));
    EXPECT_EQ(scoped(tree.path("a/bc")), Paths{"a/bc/x4"});
    EXPECT_EQ(scoped(tree.path("a/bad\xFF")), Paths{"a/bad\xFF/x5"});
    EXPECT_EQ(scoped(tree.root()).size(), 7u);
    EXPECT_EQ(scoped(tree.path("a/none")), Paths{});
    EXPECT_EQ(scoped(tree.root() + "-sibling"), Paths{});
}

// A scope kept across live updates takes in the folders made below it, holds nothing once its
// folder is renamed away, and moves to the folder made again under its name.
TEST(FolderScopeTest, FollowsLiveUpdates) {
    test::TempTree tree;
    tree.file("a/b/x1");
    tree.file("a/c/x2");
    auto built = IndexBuilder::build({tree.root()}, 2, std::make_shared<NameTable>());
    IndexUpdater updater(built.index, built.names, nullptr);
    const std::string within = tree.path("a/b");
    auto scope = FolderScope::of(updater.index(), *built.names, within);
    const auto apply = [&](const std::string& changed) {
        FileSystemWatcher::Batch batch;
        batch.paths.push_back(tree.path(changed));
        updater.apply(batch);
        const Paths found = scopedPaths(tree, updater.index(), *built.names, "x", within, scope);
        scope = FolderScope::of(updater.index(), *built.names, within,
                                scope); // as the session keeps it
        return found;
    };
    tree.file("a/b/new/x3");
    EXPECT_EQ(apply("a/b"), (Paths{"a/b/x1", "a/b/new/x3"}));
    ASSERT_EQ(std::rename(tree.path("a/b").c_str(), tree.path("a/old").c_str()), 0);
    EXPECT_EQ(apply("a"), Paths{});
    tree.file("a/b/x4");
    EXPECT_EQ(apply("a"), Paths{"a/b/x4"});
}

} // namespace
} // namespace vesko
