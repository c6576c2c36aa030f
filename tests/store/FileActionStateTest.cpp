// SPDX-License-Identifier: MIT
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include "store/Localization.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

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

    store->renameSelected("a/b");
    EXPECT_EQ(store->actionProblem(), "A name can't contain “/”.");
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
    EXPECT_EQ(store->detail()->sizeText, "3 bytes") << "the twin holds 5";
    store->copySelectedPath();
    // The file URL carries the bytes; the text is what a shell reads back as the same path.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/uri-list").toStdString(),
              "file://" + home.path("odd/bad%FFname.txt") + "\r\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "$'" + home.path("odd/bad\\xFFname.txt'"));
    store->exportResults(state.path("exported.txt"));
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
    store->renameSelected("renamed.txt");
    EXPECT_TRUE(store->actionProblem().isEmpty()) << store->actionProblem().toStdString();
    EXPECT_EQ(test::readFile(home.path("odd/renamed.txt")), "rename me");
    EXPECT_EQ(test::readFile(otherTwin), "stay");
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
