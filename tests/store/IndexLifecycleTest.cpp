// SPDX-License-Identifier: MIT
#include "StoreFixture.h"

#include "index/IndexArchive.h"
#include "scan/Roots.h"
#include "store/LastFullScan.h"

#include <fstream>

namespace vesko::test {
namespace {

using namespace std::chrono_literals;
using Phase = IndexStore::Phase;

class IndexLifecycle : public StoreFixture {
protected:
    FileSystemWatcher::Batch batchOf(std::vector<std::string> paths) {
        FileSystemWatcher::Batch batch;
        batch.paths = std::move(paths);
        batch.lastEventID = ++eventID;
        return batch;
    }
    std::uint64_t eventID = 1000;
};

TEST_F(IndexLifecycle, WithoutArchiveBuildsVisiblySavesAndWatchesFromNow) {
    home.file("docs/alpha.txt");
    auto env = environment();
    env.watchFileSystem = true;
    auto store = makeStore(env);
    QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
    store->start();
    EXPECT_EQ(store->phase(), Phase::building);
    EXPECT_EQ(store->status(), "Building index…");
    ASSERT_TRUE(installed.wait(patience));
    EXPECT_EQ(store->phase(), Phase::ready);
    EXPECT_EQ(installed.front().front().toBool(), false); // visible, not quiet
    EXPECT_TRUE(store->status().startsWith("2 items · ")) << store->status().toStdString();
    EXPECT_EQ(store->lastEventID(), 0u);
    EXPECT_DOUBLE_EQ(LastFullScan::read(store->settings()), clocks.wall.load());
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->isWatching(); }, patience));

    const auto loaded = IndexArchive::load(store->roots(), archive());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lastEventID, 0u);
    EXPECT_EQ(loaded->index.count(), 2);

    // A file made now reaches the index through the watcher alone.
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    home.file("docs/beta.txt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->entryCount() == 3; }, patience));
    searchFor(*store, "beta");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"beta.txt"});
}

// A folder where the archive belongs made every save fail unseen: the store says so and
// saves beside it, where the next start looks too.
TEST_F(IndexLifecycle, AFolderInTheArchivesPlaceIsToldAndTheIndexSavedBesideIt) {
    home.file("docs/alpha.txt");
    state.dir("index.veskoindex");
    auto store = startedStore();
    EXPECT_TRUE(store->saveBeforeExit());
    const std::string beside = state.path("index-2.veskoindex");
    EXPECT_TRUE(IndexArchive::load(store->roots(), beside));
    EXPECT_TRUE(store->actionProblem().contains(QString::fromStdString(beside)))
        << store->actionProblem().toStdString();
}

TEST_F(IndexLifecycle, FromArchiveSearchableAtOnceThenCatchesUpWithChangesMadeMeanwhile) {
    home.file("docs/old.txt");
    startedStore().reset();    // builds and saves the archive
    home.file("docs/new.txt"); // made while Vesko was not running
    home.remove("docs/old.txt");

    auto env = environment();
    env.watchFileSystem = true;
    auto store = makeStore(env);
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    store->start();
    // Installed synchronously, before any background work ran.
    EXPECT_EQ(store->phase(), Phase::ready);
    EXPECT_EQ(store->status(), "2 items");
    EXPECT_NE(store->lastEventID(), 0u);
    searchFor(*store, "old");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"old.txt"});

    // The watcher's first batch names every root, so the updater reads them all again.
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    EXPECT_FALSE(store->isRecoveringOverflow());
    researchAndWait(*store);
    EXPECT_TRUE(store->rows().empty());
    searchFor(*store, "new");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"new.txt"});
}

TEST_F(IndexLifecycle, AnArchiveThatDoesNotLoadLeadsToAVisibleBuild) {
    const char* damaged[] = {"", "not an archive at all", "VESKOIDX\x08\0\0\0truncated"};
    for (const char* content : damaged) {
        SCOPED_TRACE(content);
        std::ofstream(archive(), std::ios::binary | std::ios::trunc) << content;
        auto store = makeStore();
        store->start();
        EXPECT_EQ(store->phase(), Phase::building);
        EXPECT_EQ(store->status(), "Building index…");
        ASSERT_TRUE(QTest::qWaitFor([&] { return store->phase() == Phase::ready; }, patience));
        EXPECT_TRUE(IndexArchive::load(store->roots(), archive()));
    }
}

TEST_F(IndexLifecycle, TenBatchesInAStreamCauseOneFlushWithAllOfThemMerged) {
    auto env = environment();
    // The real ratio of batch spacing to quiet period is 0.5 : 0.7; the spacing here keeps
    // its margin under a loaded machine while the sum of the gaps exceeds the period.
    env.timing.flushDelay = 300ms;
    auto store = startedStore(env);
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    for (int i = 0; i < 10; ++i) {
        store->enqueue(batchOf({home.file("docs/stream" + std::to_string(i) + ".txt")}));
        QTest::qWait(100);
        EXPECT_EQ(applied.count(), 0) << "flushed after batch " << i;
    }
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    QTest::qWait(50);
    EXPECT_EQ(applied.count(), 1);
    EXPECT_EQ(applied.front().front().toLongLong(), 10);
    EXPECT_EQ(store->lastEventID(), eventID);
    searchFor(*store, "stream");
    EXPECT_EQ(store->rowCount(), 10);
    EXPECT_TRUE(store->status().startsWith("10 found"));
}

TEST_F(IndexLifecycle, ABatchArrivingWhileAnotherIsAppliedWaitsAndIsAppliedAfterIt) {
    // A subtree large enough that reading it again outlasts a short quiet period.
    for (int d = 0; d < 300; ++d)
        for (int f = 0; f < 10; ++f)
            home.file("bulk/d" + std::to_string(d) + "/f" + std::to_string(f));
    auto env = environment();
    env.timing.flushDelay = 1ms;
    auto store = startedStore(env);
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);

    auto slow = batchOf({});
    slow.mustScanSubtrees = {home.path("bulk")};
    store->enqueue(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->isApplying(); }, patience));
    store->enqueue(batchOf({home.file("docs/waiting.txt")}));
    // Its quiet period passes during the application; it stays pending, not applied twice
    // at once and not lost.
    QTest::qWait(20);
    if (applied.isEmpty()) {
        EXPECT_TRUE(store->isApplying());
        EXPECT_TRUE(store->hasPendingBatch());
    }
    ASSERT_TRUE(waitForBatch(*store, applied, 2));
    EXPECT_EQ(applied.at(0).front().toLongLong(), 0);
    EXPECT_EQ(applied.at(1).front().toLongLong(), 1);
    EXPECT_FALSE(store->hasPendingBatch());
}

TEST_F(IndexLifecycle, AppliedChangesAreSavedOnlyPastTheSaveIntervalOrAtExit) {
    auto store = startedStore();
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    QSignalSpy saved(store.get(), &IndexStore::archiveSaved);
    const auto archivedCount = [&] {
        return IndexArchive::load(store->roots(), archive())->index.count();
    };
    const std::int64_t built = archivedCount();
    struct Step {
        std::chrono::seconds advance; // since the previous step
        bool saves;
    };
    // Launch counts as the last save; the 300 s are measured on the monotonic clock.
    const Step steps[] = {{100s, false}, {199s, false}, {2s, true}, {299s, false}, {2s, true}};
    int expectedSaves = 0;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        clocks.advance(steps[i].advance);
        store->enqueue(batchOf({home.file("docs/change" + std::to_string(i))}));
        ASSERT_TRUE(waitForBatch(*store, applied, static_cast<int>(i) + 1));
        if (steps[i].saves) {
            ++expectedSaves;
            ASSERT_TRUE(QTest::qWaitFor([&] { return saved.count() == expectedSaves; }, patience));
            EXPECT_EQ(archivedCount(), built + static_cast<std::int64_t>(i) + 1);
        }
        EXPECT_EQ(saved.count(), expectedSaves);
    }
    store->enqueue(batchOf({home.file("docs/unsaved")}));
    ASSERT_TRUE(waitForBatch(*store, applied, 6));
    EXPECT_EQ(archivedCount(), built + 5);
    EXPECT_TRUE(store->saveBeforeExit());
    EXPECT_EQ(archivedCount(), built + 6);
}

TEST_F(IndexLifecycle, StalenessByAgeOrUnresolvedPathsStartsAQuietRebuild) {
    struct Case {
        const char* name;
        std::chrono::seconds age;
        int unresolved;
        bool stale;
    };
    const Case cases[] = {
        {"fresh", 86'400s, 0, false},
        {"a day and a second old", 86'401s, 0, true},
        {"500 unresolved", 0s, 500, false},
        {"501 unresolved", 0s, 501, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto store = startedStore();
        QSignalSpy applied(store.get(), &IndexStore::batchApplied);
        if (c.unresolved > 0) {
            std::vector<std::string> paths;
            for (int i = 0; i < c.unresolved; ++i)
                paths.push_back("/nowhere-" + std::to_string(i) + "/x");
            store->enqueue(batchOf(paths));
            ASSERT_TRUE(waitForBatch(*store, applied, 1));
            EXPECT_EQ(store->unresolvedTotal(), c.unresolved);
        }
        clocks.advance(c.age);
        store->refreshIfStale();
        EXPECT_EQ(store->isRefreshing(), c.stale);
        EXPECT_EQ(store->phase(), Phase::ready);
        if (c.stale) {
            EXPECT_EQ(store->unresolvedTotal(), 0);
            QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
            ASSERT_TRUE(installed.wait(patience));
            EXPECT_TRUE(installed.front().front().toBool());
            EXPECT_FALSE(store->isRefreshing());
        }
    }
}

TEST_F(IndexLifecycle, AMissingLastFullScanRebuildsQuietlyRightAfterTheArchiveLoads) {
    startedStore().reset();
    {
        // An archive without a build time, and no date in the preferences.
        const auto roots = IndexBuilder::normalize({home.root()});
        auto loaded = IndexArchive::load(roots, archive());
        ASSERT_TRUE(loaded);
        ASSERT_FALSE(IndexArchive::save(loaded->index, *loaded->names, 5, 0, archive()));
        Settings settings(state.path("vesko.conf"));
        settings.remove(LastFullScan::key);
        settings.sync();
    }
    auto store = makeStore();
    QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
    store->start();
    EXPECT_EQ(store->phase(), Phase::ready);
    EXPECT_TRUE(store->isRefreshing());
    ASSERT_TRUE(installed.wait(patience));
    EXPECT_TRUE(installed.front().front().toBool());
}

TEST_F(IndexLifecycle, AQuietRebuildKeepsTheOldIndexSearchableUntilTheNewOneIsInstalled) {
    home.file("docs/report-a.txt");
    TempTree volume;
    volume.file("report-b.txt");
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->rowCount(), 1);

    QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
    QSignalSpy phases(store.get(), &IndexStore::phaseChanged);
    store->setExtraRoots({volume.root()});
    EXPECT_TRUE(store->isRefreshing());
    // Searches keep answering from the old index meanwhile.
    researchAndWait(*store);
    if (installed.isEmpty()) {
        EXPECT_EQ(store->rowCount(), 1);
    }
    ASSERT_TRUE(installed.count() > 0 || installed.wait(patience));
    EXPECT_EQ(phases.count(), 0); // never back to building
    researchAndWait(*store);
    EXPECT_EQ(rowNames(*store), (std::vector<std::string>{"report-a.txt", "report-b.txt"}));

    // Asked again while one runs: a visible build instead.
    store->rebuildQuietly();
    EXPECT_TRUE(store->isRefreshing());
    store->rebuildQuietly();
    EXPECT_EQ(store->phase(), Phase::building);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->phase() == Phase::ready && !store->isRefreshing(); }, patience));
}

TEST_F(IndexLifecycle, IdleNavigatorIsReleasedByTheReaperButNotWhileUsed) {
    auto store = startedStore();
    QSignalSpy applied(store.get(), &IndexStore::batchApplied);
    store->enqueue(batchOf({home.file("docs/x")}));
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    ASSERT_TRUE(store->navigatorReady());
    clocks.advance(60s);
    store->reap();
    EXPECT_TRUE(store->navigatorReady());
    clocks.advance(31s);
    store->reap();
    EXPECT_FALSE(store->navigatorReady());
}

} // namespace
} // namespace vesko::test
