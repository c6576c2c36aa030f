// SPDX-License-Identifier: MIT
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include "store/Localization.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
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
        QSignalSpy detail(&store, &IndexStore::detailChanged);
        return detail.wait(test::patience) || detail.count() > 0;
    }

    test::ScopedEnv trashHome{"HOME", home.root()};
    test::ScopedEnv trashData{"XDG_DATA_HOME", state.dir("data")};
};

TEST_F(FileActionStateTest, TrashAndRenamePatchTheRowsAndTheSelection) {
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->rowCount(), 3);
    store->setSelection(2);
    const std::string trashed = store->selectedRow()->name;
    store->trashSelected();
    EXPECT_TRUE(store->actionProblem().isEmpty()) << store->actionProblem().toStdString();
    EXPECT_EQ(store->rowCount(), 2);
    EXPECT_EQ(store->selection(), 1);
    EXPECT_TRUE(std::filesystem::exists(state.path("data/Trash/files/" + trashed)));

    store->setSelection(0);
    const SearchRow before = *store->selectedRow();
    store->renameSelected(" renamed.txt ");
    ASSERT_TRUE(store->actionProblem().isEmpty()) << store->actionProblem().toStdString();
    SearchRow expected = before;
    expected.name = "renamed.txt";
    EXPECT_EQ(store->rows()[0], expected);
    EXPECT_EQ(test::readFile(before.directory + "/renamed.txt"),
              before.directory == home.root() ? "report c.txt" : "docs/" + before.name);
    ASSERT_TRUE(waitForDetail(*store));
    EXPECT_TRUE(store->detail() && store->detail()->exists);

    EXPECT_EQ(store->renameSelected("a/b"), "A name can't contain “/”.");
    EXPECT_EQ(store->rows()[0], expected);

    // Trashing the only rows left empties the list, selection 0 and no detail.
    store->trashSelected();
    store->setSelection(0);
    store->trashSelected();
    EXPECT_EQ(store->rowCount(), 0);
    EXPECT_EQ(store->selection(), 0);
    EXPECT_FALSE(store->detail());
}

// A name that is not UTF-8 beside its repaired twin (U+FFFD for the bad byte): every action
// on the first row reaches the first file, checked on disk.
TEST_F(FileActionStateTest, ANameThatIsNotUtf8IsNeverTakenForItsRepairedTwin) {
    const std::string bad = home.file("odd/bad\xFFname.txt", "bad");
    const std::string twin = home.file("odd/bad\xEF\xBF\xBDname.txt", "twin!");
    const std::string other = home.file("odd/ren\xFE.txt", "rename me");
    const std::string otherTwin = home.file("odd/ren\xEF\xBF\xBD.txt", "stay");
    auto store = startedStore();
    const auto select = [&](const std::string& path) {
        for (std::size_t i = 0; i < store->rows().size(); ++i)
            if (FileActions::fullPath(store->rows()[i].directory, store->rows()[i].name) == path)
                return store->setSelection(qint64(i)), true;
        return false;
    };
    std::vector<QUrl> opened;
    store->setDesktop({[&](const QUrl& url) { return opened.push_back(url), true; }, {}, {}});

    searchFor(*store, "name.txt");
    ASSERT_EQ(store->rowCount(), 2);
    ASSERT_TRUE(select(bad));
    store->loadDetail();
    ASSERT_TRUE(waitForDetail(*store));
    EXPECT_EQ(store->detail()->sizeText, "3 B") << "the twin holds 5";
    store->copySelectedPath();
    // The file URL carries the bytes; the text is what a shell reads back as the same path.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/uri-list").toStdString(),
              "file://" + home.path("odd/bad%FFname.txt") + "\r\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "$'" + home.path("odd/bad\\xFFname.txt'"));
    QSignalSpy written(store.get(), &IndexStore::exported);
    store->exportResults(state.path("exported.txt"));
    ASSERT_TRUE(written.wait(test::patience));
    const std::string exported = test::readFile(state.path("exported.txt"));
    EXPECT_NE(exported.find(bad + "\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find(twin + "\n"), std::string::npos) << exported;
    store->openSelected();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].toEncoded().endsWith("/odd/bad%FFname.txt"));
    store->trashSelected();
    EXPECT_TRUE(store->actionProblem().isEmpty()) << store->actionProblem().toStdString();
    EXPECT_EQ(test::readFile(state.path("data/Trash/files/bad\xFFname.txt")), "bad");
    EXPECT_EQ(test::readFile(twin), "twin!");

    searchFor(*store, "ren");
    ASSERT_TRUE(select(other));
    EXPECT_EQ(store->renameSelected("renamed.txt"), std::nullopt);
    EXPECT_EQ(test::readFile(home.path("odd/renamed.txt")), "rename me");
    EXPECT_EQ(test::readFile(otherTwin), "stay");
}

// Undo puts the trashed item back at its exact path (a "%41" in the name is no escape in
// a .trashinfo Qt wrote), lists it again and keeps the count in step; an item that
// took the name meanwhile is never overwritten, and the undo waits until the place is free.
TEST_F(FileActionStateTest, UndoOfATrashPutsTheItemBackButNeverOverAnother) {
    const std::string odd = home.file("docs/report %41 é.txt", "odd bytes");
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->rowCount(), 4);
    const auto at = std::ranges::find_if(
        store->rows(), [&](const SearchRow& row) { return row.directory + "/" + row.name == odd; });
    ASSERT_NE(at, store->rows().end());
    const qint64 row = at - store->rows().begin();
    store->setSelection(row);
    store->trashSelected();
    ASSERT_FALSE(std::filesystem::exists(odd));
    EXPECT_EQ(store->rowCount(), 3);
    EXPECT_EQ(store->totalMatches(), 3);
    EXPECT_EQ(store->status(), "3 found");
    ASSERT_TRUE(store->lastUndo());
    const std::string inTrash = store->lastUndo()->trashed.at(0).inTrash;
    EXPECT_EQ(test::readFile(inTrash), "odd bytes");

    home.file("docs/report %41 é.txt", "newcomer");
    store->undoLastAction();
    EXPECT_TRUE(store->actionProblem().contains("report %41 é.txt"))
        << store->actionProblem().toStdString();
    EXPECT_EQ(test::readFile(odd), "newcomer");
    EXPECT_EQ(test::readFile(inTrash), "odd bytes");
    EXPECT_EQ(store->rowCount(), 3);
    ASSERT_TRUE(store->lastUndo());

    home.remove("docs/report %41 é.txt");
    store->undoLastAction();
    EXPECT_EQ(test::readFile(odd), "odd bytes");
    EXPECT_FALSE(std::filesystem::exists(inTrash));
    EXPECT_FALSE(std::filesystem::exists(state.path("data/Trash/info/report %41 é.txt.trashinfo")));
    EXPECT_FALSE(store->lastUndo());
    EXPECT_EQ(store->rowCount(), 4);
    EXPECT_EQ(store->selection(), row);
    EXPECT_EQ(store->selectedRow()->name, "report %41 é.txt");
    EXPECT_EQ(store->status(), "4 found");
}

// The renamed row stays listed and selected when the same query answers again without it,
// until the query changes; undo renames it back, but never over an item that took the name.
TEST_F(FileActionStateTest, ARenameStaysListedAndUndoRenamesItBack) {
    auto store = watchingStore(environment());
    searchFor(*store, "report");
    store->setSelection(1);
    const SearchRow before = *store->selectedRow();
    const std::string folder = before.directory;
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    ASSERT_EQ(store->renameSelected("moved.txt"), std::nullopt);
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    researchAndWait(*store);
    EXPECT_EQ(store->rowCount(), 3);
    EXPECT_EQ(store->selectedRow()->name, "moved.txt");
    EXPECT_EQ(store->selection(), 1);

    std::ofstream(folder + "/" + before.name) << "newcomer";
    store->undoLastAction();
    EXPECT_FALSE(store->actionProblem().isEmpty());
    EXPECT_EQ(test::readFile(folder + "/" + before.name), "newcomer");
    EXPECT_TRUE(std::filesystem::exists(folder + "/moved.txt"));
    std::filesystem::remove(folder + "/" + before.name);
    store->undoLastAction();
    EXPECT_FALSE(std::filesystem::exists(folder + "/moved.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + before.name));
    EXPECT_EQ(store->selectedRow()->name, before.name);
    EXPECT_FALSE(store->lastUndo());

    ASSERT_EQ(store->renameSelected("moved.txt"), std::nullopt);
    searchFor(*store, "repor");
    EXPECT_TRUE(std::ranges::none_of(store->rows(),
                                     [](const SearchRow& row) { return row.name == "moved.txt"; }));
}

TEST_F(FileActionStateTest, ADetailReadForAnEarlierSelectionIsDropped) {
    auto store = startedStore();
    searchFor(*store, "report");
    store->setSelection(0);
    store->loadDetail();
    store->setSelection(1);
    QSignalSpy detail(store.get(), &IndexStore::detailChanged);
    QTest::qWait(200); // the read of row 0 finishes meanwhile and must not show
    EXPECT_EQ(detail.count(), 0);
    EXPECT_FALSE(store->detail());
}

TEST_F(FileActionStateTest, MovingFarDownSelectsTheLastRowAndAsksForMore) {
    for (int i = 0; i < 520; ++i)
        home.file("many/item" + std::to_string(i), "");
    auto store = startedStore();
    searchFor(*store, "item");
    ASSERT_EQ(store->rowCount(), 500);
    store->moveSelection(1'000'000);
    EXPECT_EQ(store->selection(), 499);
    EXPECT_EQ(store->limit(), 1000);
    store->moveSelection(-1'000'000);
    EXPECT_EQ(store->selection(), 0);

    // The export writes every hit, not only the pages loaded.
    QSignalSpy exported(store.get(), &IndexStore::exported);
    store->exportResults(state.path("all.txt"));
    ASSERT_TRUE(exported.wait(test::patience));
    EXPECT_TRUE(exported.at(0).at(0).toBool());
    EXPECT_EQ(QString::fromStdString(test::readFile(state.path("all.txt"))).count('\n'), 520);
}

TEST_F(FileActionStateTest, ApplyingASavedSearchSearchesOnceAndKeepsEqualFilters) {
    auto store = startedStore();
    searchFor(*store, "report");
    store->saveCurrentSearch("  mine ");
    ASSERT_EQ(store->savedSearches().size(), 1u);
    SavedSearch saved = store->savedSearches()[0];
    saved.query = "item";
    saved.sort = {ResultSort::Field::name, false};
    QSignalSpy started(store.get(), &IndexStore::searchStarted);
    QSignalSpy filters(store.get(), &IndexStore::filtersChanged);
    store->apply(saved);
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(filters.count(), 0);
    EXPECT_FALSE(store->isApplyingSaved());
    EXPECT_EQ(store->query(), "item");
    EXPECT_EQ(store->sort(), saved.sort);

    store->removeSavedSearch(saved);
    EXPECT_TRUE(store->savedSearches().empty());
}

TEST_F(FileActionStateTest, TheStatusFollowsALanguageChange) {
    auto store = startedStore();
    Localization localization(store->settings());
    QObject::connect(&localization, &Localization::languageChanged, store.get(),
                     &IndexStore::languageChanged);
    localization.setLanguage("ko");
    EXPECT_TRUE(store->status().startsWith("항목")) << store->status().toStdString();
    localization.setLanguage("en");
    EXPECT_TRUE(store->status().contains("items")) << store->status().toStdString();
}

} // namespace
} // namespace vesko
