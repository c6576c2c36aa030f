// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include <fstream>

namespace vesko {
namespace {

class FileActionStateTest : public test::StoreFixture {
protected:
    FileActionStateTest() {
        for (const char* name : {"docs/report a.txt", "docs/report b.txt", "report c.txt"})
            home.file(name, name);
    }
    static bool waitForDetail(IndexStore& store) {
        QSignalSpy detail(&store.actions(), &FileActionCenter::detailChanged);
        return detail.wait(test::patience) || detail.count() > 0;
    }

    test::ScopedEnv trashHome{"HOME", home.root()};
    test::ScopedEnv trashData{"XDG_DATA_HOME", state.dir("data")};
};

// A detail read for an earlier selection is dropped; trash and rename patch the rows.
TEST_F(FileActionStateTest, TrashAndRenamePatchTheRowsAndTheSelection) {
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->session().rowCount(), 3);
    store->session().setSelection(0);
    store->actions().loadDetail();
    store->session().setSelection(1);
    QSignalSpy detail(&store->actions(), &FileActionCenter::detailChanged);
    finishTasks(*store); // the read of row 0 is over and its result delivered
    EXPECT_EQ(detail.count(), 0);
    EXPECT_FALSE(store->actions().detail());

    store->session().setSelection(2);
    const std::string trashed = store->session().selectedRow()->name;
    store->actions().trashSelected();
    EXPECT_EQ(store->actions().actionProblems().items, std::vector<ActionProblem>{});
    EXPECT_EQ(store->session().rowCount(), 2);
    EXPECT_EQ(store->session().selection(), 1);
    EXPECT_TRUE(std::filesystem::exists(state.path("data/Trash/files/" + trashed)));

    store->session().setSelection(0);
    const SearchRow before = *store->session().selectedRow();
    store->actions().renameSelected(" renamed.txt ");
    ASSERT_EQ(store->actions().actionProblems().items, std::vector<ActionProblem>{});
    SearchRow expected = before;
    expected.name = "renamed.txt";
    EXPECT_EQ(store->session().row(0), expected);
    EXPECT_EQ(test::readFile(before.directory + "/renamed.txt"),
              before.directory == home.root() ? "report c.txt" : "docs/" + before.name);
    ASSERT_TRUE(waitForDetail(*store));
    EXPECT_TRUE(store->actions().detail() && store->actions().detail()->exists);

    EXPECT_EQ(store->actions().renameSelected("a/b")->kind, ActionProblem::Kind::slashInName);
    EXPECT_EQ(store->session().row(0), expected);

    // Trashing the only rows left empties the list, selection 0 and no detail.
    store->actions().trashSelected();
    store->session().setSelection(0);
    store->actions().trashSelected();
    EXPECT_EQ(store->session().rowCount(), 0);
    EXPECT_EQ(store->session().selection(), 0);
    EXPECT_FALSE(store->actions().detail());
}

// Undo puts the trashed item back at its exact path (a "%41" in the name is no escape in
// a .trashinfo Qt wrote), lists it again and keeps the count in step; an item that
// took the name meanwhile is never overwritten, and the undo waits until the place is free.
TEST_F(FileActionStateTest, UndoOfATrashPutsTheItemBackButNeverOverAnother) {
    const std::string odd = home.file("docs/report %41 é.txt", "odd bytes");
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->session().rowCount(), 4);
    const auto rows = store->session().rows(0, 4);
    const auto at = std::ranges::find_if(
        rows, [&](const SearchRow& row) { return row.directory + "/" + row.name == odd; });
    ASSERT_NE(at, rows.end());
    const qint64 row = at - rows.begin();
    store->session().setSelection(row);
    store->actions().trashSelected();
    ASSERT_FALSE(std::filesystem::exists(odd));
    EXPECT_EQ(store->session().rowCount(), 3);
    EXPECT_EQ(store->session().totalMatches(), 3);
    EXPECT_EQ(store->session().status().found, 3);
    ASSERT_TRUE(store->actions().lastUndo());
    const std::string inTrash = store->actions().lastUndo()->trashed.at(0).inTrash;
    EXPECT_EQ(test::readFile(inTrash), "odd bytes");

    home.file("docs/report %41 é.txt", "newcomer");
    store->actions().undoLastAction();
    ASSERT_EQ(store->actions().actionProblems().items.size(), 1u);
    EXPECT_EQ(store->actions().actionProblems().items[0].kind, ActionProblem::Kind::placeTaken);
    EXPECT_EQ(store->actions().actionProblems().items[0].name, "report %41 é.txt");
    EXPECT_EQ(test::readFile(odd), "newcomer");
    EXPECT_EQ(test::readFile(inTrash), "odd bytes");
    EXPECT_EQ(store->session().rowCount(), 3);
    ASSERT_TRUE(store->actions().lastUndo());

    home.remove("docs/report %41 é.txt");
    store->actions().undoLastAction();
    EXPECT_EQ(test::readFile(odd), "odd bytes");
    EXPECT_FALSE(std::filesystem::exists(inTrash));
    EXPECT_FALSE(std::filesystem::exists(state.path("data/Trash/info/report %41 é.txt.trashinfo")));
    EXPECT_FALSE(store->actions().lastUndo());
    EXPECT_EQ(store->session().rowCount(), 4);
    EXPECT_EQ(store->session().selection(), row);
    EXPECT_EQ(store->session().selectedRow()->name, "report %41 é.txt");
    EXPECT_EQ(store->session().status().found, 4);
}

// The renamed row stays listed and selected when the same query answers again without it,
// until the query changes; undo renames it back, but never over an item that took the name.
TEST_F(FileActionStateTest, ARenameStaysListedAndUndoRenamesItBack) {
    auto store = watchingStore(environment());
    searchFor(*store, "report");
    store->session().setSelection(1);
    const SearchRow before = *store->session().selectedRow();
    const std::string folder = before.directory;
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    ASSERT_EQ(store->actions().renameSelected("moved.txt"), std::nullopt);
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    researchAndWait(*store);
    EXPECT_EQ(store->session().rowCount(), 3);
    EXPECT_EQ(store->session().selectedRow()->name, "moved.txt");
    EXPECT_EQ(store->session().selection(), 1);

    std::ofstream(folder + "/" + before.name) << "newcomer";
    store->actions().undoLastAction();
    EXPECT_FALSE(store->actions().actionProblems().empty());
    EXPECT_EQ(test::readFile(folder + "/" + before.name), "newcomer");
    EXPECT_TRUE(std::filesystem::exists(folder + "/moved.txt"));
    std::filesystem::remove(folder + "/" + before.name);
    store->actions().undoLastAction();
    EXPECT_FALSE(std::filesystem::exists(folder + "/moved.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + before.name));
    EXPECT_EQ(store->session().selectedRow()->name, before.name);
    EXPECT_FALSE(store->actions().lastUndo());

    ASSERT_EQ(store->actions().renameSelected("moved.txt"), std::nullopt);
    searchFor(*store, "repor");
    EXPECT_TRUE(std::ranges::none_of(store->session().rows(0, store->session().rowCount()),
                                     [](const SearchRow& row) { return row.name == "moved.txt"; }));
}

TEST_F(FileActionStateTest, ApplyingASavedSearchSearchesOnceAndKeepsEqualFilters) {
    auto store = startedStore();
    searchFor(*store, "report");
    store->actions().saveCurrentSearch("  mine ");
    ASSERT_EQ(store->actions().savedSearches().size(), 1u);
    SavedSearch saved = store->actions().savedSearches()[0];
    saved.query = "item";
    saved.sort = {ResultSort::Field::name, false};
    QSignalSpy started(&store->session(), &SearchSession::searchStarted);
    QSignalSpy filters(&store->session(), &SearchSession::filtersChanged);
    store->actions().apply(saved);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(filters.count(), 0);
    EXPECT_FALSE(store->session().isApplyingSaved());
    EXPECT_EQ(store->session().query(), "item");
    EXPECT_EQ(store->session().sort(), saved.sort);
}

} // namespace
} // namespace vesko
