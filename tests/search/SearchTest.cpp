// SPDX-License-Identifier: MIT
#include "search/Search.h"

#include "index/Unicode.h"
#include "scan/IndexBuilder.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

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
        tree->file("docs/notes.md", "hello vesko notes");
        tree->file("docs/blob.bin", std::string("vesko\0\0\0", 8));
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
        {"SWIFT", containing("swift")},
        {"readme", containing("readme")},
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
        {"résumé", containing("résumé")},
        {"no-such-name", {}},
    };
    for (const auto& [query, expected] : cases) {
        const auto result = run(query);
        EXPECT_EQ(pathsOf(result), expected) << query;
        EXPECT_EQ(result.totalMatches, static_cast<std::int64_t>(expected.size())) << query;
    }
    EXPECT_EQ(run("").totalMatches, 0);
    EXPECT_EQ(pathsOf(run("résumé")).size(), 1u); // the NFD name on disk is found by NFC typing
}

TEST_F(SearchTest, NarrowingGivesTheFullScanResult) {
    const auto first = run("s");
    Search::Narrowing previous{"s", first.names};
    Search::Request request;
    request.query = "sw";
    request.previous = &previous;
    const auto narrowed = run(request, built->index);
    EXPECT_EQ(pathsOf(narrowed), pathsOf(run("sw")));
    EXPECT_TRUE(narrowed.narrowable);
}

TEST_F(SearchTest, PathModes) {
    EXPECT_EQ(pathsOf(run("docs/read")), Paths{"docs/readme.md"});
    EXPECT_TRUE(run("/").hits.empty());
    EXPECT_TRUE(run("a//").hits.empty());

    Search::Request request;
    request.query = "docs";
    request.filters.matchPath = true;
    Paths under;
    for (const auto& relative : listing)
        if (relative.starts_with("docs") || relative.starts_with("mydocs2")) under.insert(relative);
    EXPECT_EQ(pathsOf(run(request, built->index)), under);
}

TEST_F(SearchTest, RegexRuleAndProblems) {
    Search::Request request;
    request.filters.useRegex = true;
    request.query = "^s.*\\.swift$";
    EXPECT_EQ(pathsOf(run(request, built->index)), Paths{});
    request.query = "^(main|index)\\.swift$";
    EXPECT_EQ(pathsOf(run(request, built->index)), (Paths{"src/main.swift", "src/index.swift"}));
    EXPECT_FALSE(run(request, built->index).narrowable);
    request.query = "[";
    const auto broken = run(request, built->index);
    ASSERT_TRUE(broken.regexProblem.has_value());
    EXPECT_FALSE(broken.regexProblem->empty());
    EXPECT_TRUE(broken.hits.empty());
}

TEST_F(SearchTest, LimitsOrderAndFoldersFirst) {
    const auto all = run("s");
    ASSERT_GT(all.totalMatches, 5);

    const auto none = run("s", 0);
    EXPECT_TRUE(none.hits.empty());
    EXPECT_EQ(none.totalMatches, all.totalMatches);

    Search::Request request;
    request.query = "s";
    request.limit = 3;
    request.sort = ResultSort{ResultSort::Field::none, true};
    const auto inOrder = run(request, built->index);
    ASSERT_EQ(inOrder.hits.size(), 3u);
    EXPECT_LT(inOrder.hits[0].entry, inOrder.hits[1].entry);
    EXPECT_LT(inOrder.hits[1].entry, inOrder.hits[2].entry);
    EXPECT_EQ(inOrder.totalMatches, all.totalMatches);

    request.foldersFirst = true;
    request.limit = 100;
    const auto folders = run(request, built->index);
    const auto firstFile = std::find_if(folders.hits.begin(), folders.hits.end(),
                                        [](const Search::Hit& h) { return !h.isDirectory; });
    EXPECT_TRUE(std::none_of(firstFile, folders.hits.end(),
                             [](const Search::Hit& h) { return h.isDirectory; }));

    request.foldersFirst = false;
    request.sort = ResultSort{ResultSort::Field::name, true};
    request.limit = 2;
    const auto byName = run(request, built->index);
    std::vector<std::string> names;
    for (const auto& hit : all.hits)
        names.push_back(std::string(built->names->foldedBytes(built->index.entryName[hit.entry])));
    std::sort(names.begin(), names.end());
    ASSERT_EQ(byName.hits.size(), 2u);
    EXPECT_EQ(built->names->foldedBytes(built->index.entryName[byName.hits[0].entry]), names[0]);
    EXPECT_EQ(built->names->foldedBytes(built->index.entryName[byName.hits[1].entry]), names[1]);
}

TEST_F(SearchTest, DeletedEntriesAreNeverCounted) {
    FileIndex index = built->index;
    const auto before = run("readme");
    for (const auto& hit : before.hits)
        index.entryFlags.set(hit.entry, EntryFlags::deleted().rawValue);
    Search::Request request;
    request.query = "readme";
    EXPECT_EQ(run(request, index).totalMatches, 0);
    EXPECT_EQ(run("readme").totalMatches, before.totalMatches); // the original copy is untouched
}

TEST_F(SearchTest, ContentSearchSkipsFoldersAndBinaries) {
    ContentMatcher content("VESKO", 1000);
    Search::Request request;
    request.query = "o"; // names: docs, notes.md, blob.bin, ...
    request.content = &content;
    EXPECT_EQ(pathsOf(run(request, built->index)), Paths{"docs/notes.md"});
    EXPECT_GE(content.skippedBinary(), 1);
}

TEST(SearchCancellation, StopsAtTheNextBlockOfEntries) {
    NameTable names;
    FileIndex index;
    index.dirParent.append(0u);
    index.dirName.append(names.intern("/r"));
    index.rootPaths[0] = "/r";
    const std::uint32_t name = names.intern("same.txt");
    for (int i = 0; i < 200'000; ++i)
        index.appendEntry(name, 0, {}, 0, 0, 0, 0);

    int calls = 0;
    Search::Request request;
    request.query = "same";
    request.isCancelled = [&] {
        return ++calls >= 3;
    }; // after the names, then at entries 0 and 65536
    const auto result = Search::run(request, index, names);
    EXPECT_EQ(result.totalMatches, 65536);

    request.isCancelled = [] { return true; };
    const auto early = Search::run(request, index, names);
    EXPECT_EQ(early.totalMatches, 0);
    EXPECT_FALSE(early.names.empty());

    SearchGeneration generation;
    const auto mine = generation.advance();
    const auto cancelled = generation.cancellation(mine);
    EXPECT_FALSE(cancelled());
    generation.advance();
    EXPECT_TRUE(cancelled());
}

} // namespace
} // namespace vesko
