// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "ActionTestSupport.h"

#include "support/ChildProcess.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <numeric>

#include <sys/stat.h>
#include <unistd.h>

namespace vesko {
namespace {

class MultiSelectionTest : public test::StoreFixture {
protected:
    std::vector<qint64> allRows(const IndexStore& store) {
        std::vector<qint64> rows(static_cast<std::size_t>(store.session().rowCount()));
        std::iota(rows.begin(), rows.end(), 0);
        return rows;
    }
    // Whoever follows the rows reads the marks with them (the detail bar sums their sizes),
    // so a mark past the end of the new rows at that moment reads freed memory.
    static std::shared_ptr<bool> watchStaleMarks(IndexStore& store) {
        auto stale = std::make_shared<bool>(false);
        QObject::connect(&store.session(), &SearchSession::rowsChanged, &store, [&store, stale] {
            for (const qint64 row : store.session().selectedRows())
                if (row >= store.session().rowCount()) *stale = true;
        });
        return stale;
    }
    static std::string pathOf(const SearchRow& row) {
        return FileActions::fullPath(row.directory, row.name);
    }

    test::ScopedEnv trashHome{"HOME", home.root()};
    test::ScopedEnv trashData{"XDG_DATA_HOME", state.dir("data")};
};

TEST_F(MultiSelectionTest, CopyAndOpenActOnEveryMarkedRowAndMarksFollowTheirEntries) {
    for (int i = 0; i < 12; ++i)
        home.file("docs/report-" + std::to_string(i) + ".txt", "");
    auto store = startedStore();
    std::vector<QUrl> opened;
    store->actions().setDesktop(
        {[&](const QUrl& url) { return opened.push_back(url), true; }, {}, {}});
    searchFor(*store, "report");
    ASSERT_EQ(store->session().rowCount(), 12);

    store->session().setSelectedRows({5, 1, 3, 3, 99});
    ASSERT_EQ(store->session().selectedRows(), (std::vector<qint64>{1, 3, 5}));
    store->actions().copySelectedPath();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    const QStringList lines = copied->text().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].toStdString(), pathOf(store->session().row(3)));
    EXPECT_EQ(copied->data("text/uri-list").count("\r\n"), 3);

    // The same query answering again keeps the marks on the same entries.
    const SearchRow marked = store->session().row(3);
    store->session().setSort({ResultSort::Field::name, false});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return store->session().row(3).id != marked.id; }, test::patience));
    ASSERT_EQ(store->session().selectedRows().size(), 3u);
    EXPECT_TRUE(std::ranges::any_of(store->session().selectedRows(), [&](qint64 row) {
        return store->session().row(row).id == marked.id;
    }));

    // A rescan numbers the entries anew and finds one more hit above the others: the marks
    // and the focus stay on their files, as they do when the same index answers again.
    std::vector<std::string> markedPaths;
    for (const qint64 row : store->session().selectedRows())
        markedPaths.push_back(pathOf(store->session().row(row)));
    store->session().setSelection(4);
    const std::string focused = pathOf(store->session().row(4));
    home.file("docs/report.txt", "");
    QSignalSpy rebuilt(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    store->lifecycle().rescan();
    ASSERT_TRUE(rebuilt.wait(test::patience));
    finishTasks(*store);
    ASSERT_EQ(store->session().rowCount(), 13);
    EXPECT_EQ(pathOf(store->session().row(store->session().selection())), focused);
    std::vector<std::string> stillMarked;
    for (const qint64 row : store->session().selectedRows())
        stillMarked.push_back(pathOf(store->session().row(row)));
    std::ranges::sort(markedPaths);
    std::ranges::sort(stillMarked);
    EXPECT_EQ(stillMarked, markedPaths);

    // Above ten items open asks first and opens nothing until agreed.
    store->session().setSelectedRows(allRows(*store));
    QSignalSpy asked(&store->actions(), &FileActionCenter::openNeedsConfirmation);
    store->actions().openSelected();
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked[0][0].toLongLong(), 13);
    EXPECT_TRUE(opened.empty());
    store->actions().openSelectedConfirmed();
    EXPECT_EQ(opened.size(), 13u);

    const auto stale = watchStaleMarks(*store);
    searchFor(*store, "report-1");
    EXPECT_TRUE(store->session().selectedRows().empty());
    EXPECT_FALSE(*stale);
}

// Ctrl+A, then a row taken out of the marks: another order of a long list keeps every row
// marked but that one, and a file that came meanwhile is not marked with the rest.
TEST_F(MultiSelectionTest, NearlyEveryRowMarkedStaysSoInAnotherOrder) {
    for (int i = 0; i < 400; ++i)
        home.file("items/item-" + std::to_string(i), std::string(static_cast<std::size_t>(i), 'x'));
    auto store = watchingStore(environment());
    searchFor(*store, "item-");
    ASSERT_EQ(store->session().rowCount(), 400);
    auto marks = allRows(*store);
    marks.erase(marks.begin() + 7);
    const std::string unmarked = pathOf(store->session().row(7));
    store->session().setSelectedRows(marks);

    const auto unmarkedPaths = [&] {
        std::vector<std::string> paths;
        std::vector<bool> isMarked(static_cast<std::size_t>(store->session().rowCount()));
        for (const qint64 row : store->session().selectedRows())
            isMarked[static_cast<std::size_t>(row)] = true;
        for (std::size_t row = 0; row < isMarked.size(); ++row)
            if (!isMarked[row])
                paths.push_back(pathOf(store->session().row(static_cast<qint64>(row))));
        return paths;
    };
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    store->session().setSort({ResultSort::Field::size, false});
    ASSERT_TRUE(rows.wait(test::patience));
    EXPECT_EQ(unmarkedPaths(), std::vector<std::string>{unmarked});

    // The new file is listed by the update; the next order must not mark it.
    home.file("items/item-new", "");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return store->session().rowCount() == 401; }, test::patience));
    store->session().setSort({ResultSort::Field::name, true});
    ASSERT_TRUE(rows.wait(test::patience));
    std::vector<std::string> expected{unmarked, home.path("items/item-new")};
    auto left = unmarkedPaths();
    std::ranges::sort(expected);
    std::ranges::sort(left);
    EXPECT_EQ(left, expected);
}

// As root every folder is writable, so the locked ones are tried as another user.
TEST_F(MultiSelectionTest, TrashingAThousandRowsKeepsAndReportsOnlyWhatCouldNotGo) {
    constexpr int count = 1000;
    for (int i = 0; i < count; ++i)
        home.file((i % 50 == 0 ? "bulk/locked/item-" : "bulk/open/item-") + std::to_string(i), "x");
    auto store = startedStore();
    store->session().setPageSize(1000);
    searchFor(*store, "item-");
    ASSERT_EQ(store->session().rowCount(), count);
    for (int i = 1; i < count; i += 100)
        home.remove("bulk/open/item-" + std::to_string(i)); // vanished since the search
    ASSERT_EQ(::chown(home.root().c_str(), 65534, 65534), 0);
    for (const auto& item : home.listAll())
        ASSERT_EQ(::lchown(home.path(item).c_str(), 65534, 65534), 0);
    for (const std::string& place : {state.root(), state.path("data")})
        ASSERT_EQ(::chown(place.c_str(), 65534, 65534), 0);
    home.chmod("bulk/locked", 0555);
    finishTasks(*store); // the detail read of the first row is done before the fork

    const int code = test::runUnprivileged([&] {
        const auto stale = watchStaleMarks(*store);
        store->session().setSelectedRows(allRows(*store));
        store->actions().trashSelected();
        int faults = *stale ? 32 : 0;
        if (store->session().rowCount() != 30) faults |= 1;
        if (store->session().selectedRows() != allRows(*store)) faults |= 2;
        for (const SearchRow& row : store->session().rows(0, store->session().rowCount()))
            if (std::filesystem::exists(pathOf(row)) == (row.directory.ends_with("/open")))
                faults |= 4; // a kept row is one that vanished or is locked
        const ActionProblems& problems = store->actions().actionProblems();
        if (problems.trashTried != 1000 || problems.items.size() != 30) faults |= 8;
        const auto trashed =
            std::distance(std::filesystem::directory_iterator(state.path("data/Trash/files")), {});
        if (trashed != count - 30) faults |= 16;
        return faults;
    });
    if (code == test::cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0);
}

} // namespace
} // namespace vesko
