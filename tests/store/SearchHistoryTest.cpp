// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include "search/UseCounts.h"
#include "store/FindQuery.h"
#include "store/SearchHistory.h"

#include <QTimer>

#include <sys/stat.h>

namespace vesko {
namespace {

class SearchHistoryTest : public test::StoreFixture {
protected:
    Settings settings{state.path("history.conf")};
};

TEST_F(SearchHistoryTest, KeepsTheNewestDistinctQueriesUntilTurnedOff) {
    SearchHistory history(settings);
    for (int i = 0; i < 60; ++i)
        history.record(QStringLiteral("query %1").arg(i));
    history.record("  query 55 "); // again: moves to the top, trimmed, not twice
    history.record("   ");
    ASSERT_EQ(history.queries().size(), SearchHistory::capacity);
    EXPECT_EQ(history.queries().front(), "query 55");
    EXPECT_EQ(history.queries().count("query 55"), 1);
    EXPECT_EQ(history.queries().back(), "query 10");

    SearchHistory reread(settings);
    EXPECT_EQ(reread.queries(), history.queries());

    // Turned off, it forgets and records nothing.
    history.setKeepsHistory(false);
    history.record("not kept");
    EXPECT_TRUE(history.queries().isEmpty());
    SearchHistory off(settings);
    EXPECT_FALSE(off.keepsHistory());
    EXPECT_TRUE(off.queries().isEmpty());
    off.setKeepsHistory(true);
    off.record("again");
    EXPECT_EQ(off.queries(), QStringList{"again"});
}

TEST_F(SearchHistoryTest, AHandEditedListReadsAsEmptyUntilSomethingIsRecorded) {
    for (const char* garbage :
         {"not json", "{\"a\":1}", "[\"fine\", 3]", "[[\"nested\"]]", "\"x\""}) {
        settings.setText("searchHistory", garbage);
        SearchHistory history(settings);
        EXPECT_TRUE(history.queries().isEmpty()) << garbage;
        history.record("fresh");
        EXPECT_EQ(SearchHistory(settings).queries(), QStringList{"fresh"}) << garbage;
    }
    EXPECT_EQ(SearchHistory::decode("[\"a\", \" a \", \"\", \"b\"]"), (QStringList{"a", "b"}));
}

// The store records what found something once it stayed, or at once when acted on.
TEST_F(SearchHistoryTest, TheStoreRecordsQueriesThatFoundSomething) {
    home.file("docs/report.txt", "");
    auto env = environment();
    env.timing.historySettle = std::chrono::milliseconds(30);
    auto store = startedStore(env);
    SearchHistory& history = store->actions().searchHistory();

    searchFor(*store, "repo");
    searchFor(*store, "report"); // typed on before the pause: only the last one counts
    ASSERT_TRUE(QTest::qWaitFor([&] { return !history.queries().isEmpty(); }, test::patience));
    EXPECT_EQ(history.queries(), QStringList{"report"});

    searchFor(*store, "nothing-like-this");
    // Timers of one interval fire in the order they started: once this one has, a wait for
    // the history started by the answer is over too.
    QTimer later;
    later.setSingleShot(true);
    QSignalSpy passed(&later, &QTimer::timeout);
    later.start(env.timing.historySettle);
    ASSERT_TRUE(passed.wait(test::patience));
    EXPECT_EQ(history.queries(), QStringList{"report"});

    env.timing.historySettle = std::chrono::hours(1);
    store.reset();
    store = startedStore(env);
    searchFor(*store, "docs");
    store->actions().copySelectedPath();
    EXPECT_EQ(store->actions().searchHistory().queries(), (QStringList{"docs", "report"}));
}

// The files acted on are history too: private, read back alike, forgotten with the queries,
// and not kept while history is off.
TEST_F(SearchHistoryTest, UseCountsArePrivateAndForgottenWithTheHistory) {
    const std::string file = UseCounts::fileBeside(settings.filePath());
    EXPECT_EQ(file, state.path("used-files"));
    SearchHistory history(settings);
    const std::string odd = "/home/u/tab\there\nnew\\line \xFF";
    history.recordUse(odd);
    history.recordUse("/home/u/a.txt");
    history.recordUse(odd);
    const auto uses = UseCounts::read(file).uses();
    ASSERT_EQ(uses.size(), 2u);
    EXPECT_EQ(uses[0].path, odd);
    EXPECT_EQ(uses[0].count, 2u);
    EXPECT_EQ(uses[1].path, "/home/u/a.txt");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    EXPECT_TRUE(history.remembersUses()); // so Clear History is offered without a query
    history.clear();                      // no query was kept, the uses still go
    EXPECT_NE(::stat(file.c_str(), &status), 0);
    EXPECT_FALSE(history.remembersUses());
    history.setKeepsHistory(false);
    history.recordUse(odd);
    EXPECT_NE(::stat(file.c_str(), &status), 0);
}

TEST(UseCounts, KeepsTheMostRecentUpToTheCapacityAndSkipsLinesThatDoNotRead) {
    UseCounts counts;
    for (int i = 0; i < 510; ++i)
        counts.record("/f" + std::to_string(i), i);
    counts.record("/f100", 600);
    ASSERT_EQ(counts.uses().size(), UseCounts::capacity);
    EXPECT_EQ(counts.uses().front(), (UseCounts::Use{"/f100", 2, 600}));
    EXPECT_EQ(counts.uses().back().path, "/f10");
    EXPECT_EQ(UseCounts::parse(counts.text()).uses(), counts.uses());

    const auto read = UseCounts::parse("vesko used files 1\nx\t1\t/a\n0\t1\t/zero\n"
                                       "2\t5\trelative\n2\t7\t/bad\\q\n1\t9\t/fine\n"
                                       "4\t3\t/fine\n");
    EXPECT_EQ(read.uses(), (std::vector<UseCounts::Use>{{"/fine", 1, 9}}));
    EXPECT_TRUE(UseCounts::parse("3\t5\t/no-header\n").uses().empty());
}

// `vesko --find --sort relevance` and the window list one query in one order: used files,
// the user's own files, then what lies in application data and dependencies. (The window's
// Folders First, on by default, only lifts the folders ahead in that order.)
TEST_F(SearchHistoryTest, TheWindowAndFindOrderRelevanceAlike) {
    for (const char* file : {"node_modules/pdf/report.pdf", ".cache/thumbs/minutes.docx",
                             "docs/old-report.pdf", "docs/minutes.docx", "pdf-guide.pdf"})
        home.file(file, "");
    const auto env = environment();
    auto store = startedStore(env);
    store->actions().searchHistory().recordUse(home.path("docs/old-report.pdf"));
    store->session().setFoldersFirst(false);
    searchFor(*store, "pdf | docx");
    std::vector<std::string> window;
    for (const SearchRow& row : store->session().rows(0, store->session().rowCount()))
        window.push_back(row.path());

    FindQuery find;
    find.query = "pdf | docx";
    find.roots = store->lifecycle().roots();
    find.limit = 0;
    const FileIndex& index = *store->lifecycle().index();
    const NameTable& names = *store->lifecycle().names();
    const auto result =
        find.search(index, names, {}, QueryPreferences::beside(env.settingsPath, true));
    std::vector<std::string> found;
    find.report(result, index, names, [&](std::string_view path) { found.emplace_back(path); });
    EXPECT_EQ(window, found);
    EXPECT_EQ(window, (std::vector<std::string>{
                          home.path("docs/old-report.pdf"), home.path("pdf-guide.pdf"),
                          home.path("node_modules/pdf"), home.path("docs/minutes.docx"),
                          home.path("node_modules/pdf/report.pdf"),
                          home.path(".cache/thumbs/minutes.docx")}));
}

} // namespace
} // namespace vesko
