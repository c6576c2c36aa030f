// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "store/FindQuery.h"

#include <random>
#include <sstream>
#include <utility>

namespace vesko::test {
namespace {

using namespace std::chrono_literals;

class SearchState : public StoreFixture {};

// Every hit is a row, in the order of the whole sort however the rows are visited, and the
// list, Export and --find (through its live-index answer) agree on each of them.
TEST_F(SearchState, TheListExportAndFindAgreeOnEveryHit) {
    const char* folders[] = {"a", "a/deep/er", ".hidden", "b"};
    const char* stems[] = {"match", "x-match", "rematch"};
    for (int i = 0; i < 12'000; ++i)
        home.file(std::string(folders[i % 4]) + "/" + stems[i % 3] + std::to_string(i % 977) +
                  (i % 5 ? ".txt" : ".md") + std::to_string(i));
    auto store = startedStore();
    SearchSession& session = store->session();
    searchFor(*store, "match");
    std::mt19937 rng(12);
    for (const ResultSort sort : {ResultSort{}, ResultSort{ResultSort::Field::path, false}}) {
        if (!(sort == session.sort())) {
            QSignalSpy rows(&session, &SearchSession::rowsChanged);
            session.setSort(sort);
            ASSERT_TRUE(rows.wait(patience));
        }
        ASSERT_EQ(session.rowCount(), 12'000);
        EXPECT_EQ(session.status().found, 12'000);
        std::vector<std::string> listed(12'000);
        std::vector<qint64> pages;
        for (qint64 page = 0; page * 256 < 12'000; ++page)
            pages.push_back(page);
        std::ranges::shuffle(pages, rng);
        for (const qint64 page : pages)
            for (qint64 row = page * 256; row < std::min<qint64>(12'000, page * 256 + 256); ++row)
                listed[static_cast<std::size_t>(row)] = session.row(row).path();

        QSignalSpy exported(&store->actions(), &FileActionCenter::exported);
        store->actions().exportResults(state.path("all.txt"));
        ASSERT_TRUE(exported.wait(patience));
        std::vector<std::string> written;
        std::istringstream lines(readFile(state.path("all.txt")));
        for (std::string line; std::getline(lines, line);)
            written.push_back(line);
        EXPECT_EQ(written, listed);

        FindQuery find;
        find.query = "match";
        find.limit = 0;
        find.sort = sort;
        std::vector<std::string> found;
        std::istringstream answer(find.answerText(*store->lifecycle().index(),
                                                  *store->lifecycle().names(),
                                                  QueryPreferences::of(store->preferences())));
        for (std::string line; std::getline(answer, line);)
            if (line.starts_with("path ")) found.push_back(line.substr(5));
        EXPECT_EQ(found, listed);
    }
}

TEST_F(SearchState, OnlyRealChangesOrReturnSearchAgainAndThePreferencesPersist) {
    home.file("docs/pref.txt");
    home.file("docs/typed.txt");
    {
        auto store = startedStore();
        searchFor(*store, "pref");
        QSignalSpy started(&store->session(), &SearchSession::searchStarted);
        store->session().setFilters(store->session().filters()); // the same value
        store->session().setFoldersFirst(true); // folders come first unless the user said otherwise
        store->session().setSort(store->session().sort());
        store->session().setPageSize(500);
        EXPECT_EQ(started.count(), 0);

        Filters files;
        files.kind = Filters::Kind::filesOnly;
        store->session().setFilters(files);
        store->session().setFoldersFirst(false);
        store->session().toggleSort(ResultSort::Field::size);
        store->session().setPageSize(2000);
        EXPECT_EQ(started.count(), 3); // the page size changes no answer, only its first rows

        store->session().setSearchAsYouType(false);
        store->session().setQuery("typ");
        store->session().setQuery("typed");
        EXPECT_EQ(started.count(), 3);
        EXPECT_TRUE(store->session().needsReturn());
        QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
        store->session().search(); // Return
        ASSERT_TRUE(rows.wait(patience));
        EXPECT_FALSE(store->session().needsReturn());
        EXPECT_EQ(store->session().searchedQuery(), "typed");
        EXPECT_EQ(rowNames(*store), std::vector<std::string>{"typed.txt"});
        store->session().setQuery("");
        EXPECT_TRUE(store->session().rowCount() == 0);
        EXPECT_EQ(store->session().status().kind, SearchStatus::Kind::none);
        EXPECT_FALSE(store->session().needsReturn());
    }
    auto store = makeStore();
    EXPECT_FALSE(store->session().foldersFirst());
    EXPECT_EQ(store->session().sort(), (ResultSort{ResultSort::Field::size, false}));
    EXPECT_EQ(store->session().pageSize(), 2000);
    EXPECT_FALSE(store->session().searchAsYouType());
}

TEST_F(SearchState, OnlyTheLastKeystrokesResultIsEverShown) {
    for (int i = 0; i < 300; ++i)
        home.file("typing/report" + std::to_string(i) + ".txt");
    home.file("docs/repeat.txt");
    auto store = startedStore();
    const SearchStatus ready = store->session().status();
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    QSignalSpy started(&store->session(), &SearchSession::searchStarted);
    for (const char* text : {"r", "re", "rep", "repo", "repor", "report"})
        store->session().setQuery(text);
    EXPECT_EQ(started.count(), 6); // plain queries are not debounced
    ASSERT_TRUE(rows.wait(patience));
    finishTasks(*store);
    EXPECT_EQ(rows.count(), 1);
    EXPECT_EQ(store->session().totalMatches(), 300);
    for (const SearchRow& row : store->session().rows(0, store->session().rowCount()))
        ASSERT_EQ(row.name.rfind("report", 0), 0u) << row.name;

    // Clearing the field drops a search still running for the old text and shows the ready
    // status again.
    store->session().setQuery("repeat");
    store->session().setQuery("");
    finishTasks(*store);
    EXPECT_EQ(store->session().rowCount(), 0);
    EXPECT_EQ(store->session().totalMatches(), 0);
    EXPECT_EQ(store->session().status(), ready);
}

// The switch outlives the window, and the next session's searches tell accents apart.
TEST_F(SearchState, MatchDiacriticsIsKeptForTheNextSession) {
    home.file("docs/r\xC3\xA9sum\xC3\xA9.txt");
    home.file("docs/resume.md");
    {
        auto store = startedStore();
        Filters filters;
        filters.matchDiacritics = true;
        store->session().setFilters(filters);
        EXPECT_TRUE(store->preferences().matchDiacritics());
        store->settings().sync();
    }
    auto again = startedStore();
    EXPECT_TRUE(again->session().filters().matchDiacritics);
    searchFor(*again, "resume");
    EXPECT_EQ(again->session().rowCount(), 1);
}

// A regular expression waits for the last keystroke (a content search waits as well, which
// ContentSearchesSayWhatWasRead sees: nothing is read before the delay).
TEST_F(SearchState, ExpensiveQueriesWaitForTheLastKeystroke) {
    home.file("docs/abc.log");
    auto store = startedStore();
    Filters filters;
    filters.useRegex = true;
    store->session().setFilters(filters);
    EXPECT_EQ(store->session().debounceDelay(), 50ms);
    QSignalSpy started(&store->session(), &SearchSession::searchStarted);
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    for (const char* typed : {"a", "abc", "ab"})
        store->session().setQuery(typed);
    EXPECT_EQ(started.count(), 0);
    ASSERT_TRUE(rows.wait(patience));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(store->session().searchedQuery(), "ab");
}

// Folders and binaries that the query names are not read for the text, and a name that is
// not UTF-8 is read by its bytes, not through its repaired spelling, which names its twin.
TEST_F(SearchState, ContentSearchesSayWhatWasRead) {
    home.file("docs/a.txt", "needle here");
    home.file("docs/b.txt", "nothing");
    home.file("docs/c.bin", std::string("\0\0\0needle", 9));
    home.dir("docs/folder.d");
    home.file("docs/odd\xFFname.txt", "needle inside");
    home.file("docs/odd\xEF\xBF\xBDname.txt", "plain text");
    auto store = startedStore();
    Filters filters;
    filters.contentQuery = "needle";
    store->session().setFilters(filters);
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    store->session().setQuery(".");
    EXPECT_FALSE(store->session().isSearchingContents()); // still waiting for the delay
    ASSERT_TRUE(rows.wait(patience));
    EXPECT_FALSE(store->session().isSearchingContents());
    EXPECT_EQ(rowNames(*store), (std::vector<std::string>{"a.txt", "odd\xFFname.txt"}));
    const SearchStatus& status = store->session().status();
    EXPECT_EQ(status.found, 2);
    EXPECT_TRUE(status.readContents);
    EXPECT_EQ(status.examined, 5);
    EXPECT_EQ(status.skippedBinary, 1);
}

// "Search here": a folder of the index answers at once and counts only its own hits; one
// outside the roots answers nothing until its walk ends, a cancelled walk never answers, and
// the folder joins the roots only when asked.
TEST_F(SearchState, SearchHereKeepsToTheFolderInsideAndOutsideTheRoots) {
    for (const char* file : {"docs/report.txt", "docs/sub/report2.txt", "docsx/report3.txt"})
        home.file(file);
    TempTree elsewhere;
    elsewhere.file("report4.txt");
    elsewhere.file("deep/report5.txt");
    auto store = startedStore();
    SearchScope& scope = store->scope();
    // Opened at the latest when it goes, before the store waits for the walks it holds.
    auto gate = std::make_shared<ScanGate>();
    const std::shared_ptr<void> opensAtTheEnd(nullptr, [gate](void*) { gate->open(); });
    scope.setWalkGate([gate] { gate->wait(); });
    searchFor(*store, "report");
    ASSERT_EQ(store->session().totalMatches(), 3);

    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    scope.enter(home.path("docs") + "/");
    ASSERT_TRUE(rows.wait(patience));
    EXPECT_EQ(scope.state(), SearchScope::State::inside);
    EXPECT_EQ(rowNames(*store), (std::vector<std::string>{"report.txt", "report2.txt"}));
    EXPECT_EQ(store->session().status().found, 2);

    scope.enter(elsewhere.root());
    EXPECT_EQ(scope.state(), SearchScope::State::walking);
    EXPECT_EQ(store->session().rowCount(), 0);
    scope.clear(); // Cancel, while the walk is held at its gate
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == 3; }, patience));
    scope.enter(elsewhere.root());
    QSignalSpy changed(&scope, &SearchScope::changed);
    gate->open();
    ASSERT_TRUE(changed.wait(patience));
    EXPECT_EQ(scope.state(), SearchScope::State::outside);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 2; }, patience));
    EXPECT_EQ(rowNames(*store), (std::vector<std::string>{"report4.txt", "report5.txt"}));
    // Export writes the walked folder's paths, not the index's entries of the same ids.
    QSignalSpy exported(&store->actions(), &FileActionCenter::exported);
    store->actions().exportResults(home.path("walked.txt"));
    ASSERT_TRUE(exported.wait(patience));
    EXPECT_EQ(readFile(home.path("walked.txt")),
              elsewhere.path("report4.txt") + "\n" + elsewhere.path("deep/report5.txt") + "\n");
    EXPECT_TRUE(store->lifecycle().extraRoots().empty());
    EXPECT_GE(scope.foldersRead(), 2);

    scope.addToRoots();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return scope.state() == SearchScope::State::inside; }, patience));
    EXPECT_EQ(store->lifecycle().extraRoots(), std::vector<std::string>{elsewhere.root()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 2; }, patience));

    // Taken out of the roots again, the folder is read on its own rather than left empty.
    store->lifecycle().setExtraRoots({});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return scope.state() == SearchScope::State::outside; }, patience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 2; }, patience));
}

// A long read of an outside folder answers from what it has read so far.
TEST_F(SearchState, AnOutsideFolderAnswersWhileItIsRead) {
    TempTree elsewhere;
    elsewhere.file("report-top.txt");
    for (const char* file : {"a/report-a.txt", "b/report-b.txt", "c/report-c.txt"})
        elsewhere.file(file);
    auto gate = std::make_shared<ScanGate>();
    auto held = std::make_shared<std::atomic<bool>>(false);
    auto env = environment();
    env.buildWorkers = 1;
    env.timing.partialInterval = 0ms;
    env.partialHandedOver = [gate, held] {
        if (*held) gate->wait();
    };
    auto store = startedStore(env);
    const std::shared_ptr<void> opensAtTheEnd(nullptr, [gate](void*) { gate->open(); });
    searchFor(*store, "report");
    *held = true;
    store->scope().enter(elsewhere.root());
    // The walk is held after its first folder, which holds one match.
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 1; }, patience));
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"report-top.txt"});
    EXPECT_EQ(store->scope().state(), SearchScope::State::walking);
    gate->open();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->scope().state() == SearchScope::State::outside; }, patience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 4; }, patience));
}

} // namespace
} // namespace vesko::test
