// SPDX-License-Identifier: MIT
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include "store/SearchHistory.h"

namespace vesko {
namespace {

class SearchHistoryTest : public test::StoreFixture {
protected:
    Settings settings{state.path("history.conf")};
};

TEST_F(SearchHistoryTest, KeepsTheNewestDistinctQueriesUpToTheCapacity) {
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
}

TEST_F(SearchHistoryTest, TurnedOffItForgetsAndRecordsNothing) {
    SearchHistory history(settings);
    history.record("kept");
    history.setKeepsHistory(false);
    history.record("not kept");
    EXPECT_TRUE(history.queries().isEmpty());
    SearchHistory reread(settings);
    EXPECT_FALSE(reread.keepsHistory());
    EXPECT_TRUE(reread.queries().isEmpty());
    reread.setKeepsHistory(true);
    reread.record("again");
    EXPECT_EQ(reread.queries(), QStringList{"again"});
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
    QTest::qWait(100);
    EXPECT_EQ(history.queries(), QStringList{"report"});

    env.timing.historySettle = std::chrono::hours(1);
    store.reset();
    store = startedStore(env);
    searchFor(*store, "docs");
    store->actions().copySelectedPath();
    EXPECT_EQ(store->actions().searchHistory().queries(), (QStringList{"docs", "report"}));
}

} // namespace
} // namespace vesko
