// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "index/IndexArchive.h"
#include "index/IndexCompactor.h"
#include "scan/Roots.h"
#include "store/LastFullScan.h"
#include "support/LivePaths.h"

#include <QTimer>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace vesko::test {
namespace {

using namespace std::chrono_literals;
using Phase = IndexLifecycle::Phase;

class Lifecycle : public StoreFixture {
protected:
    FileSystemWatcher::Batch batchOf(std::vector<std::string> paths) {
        FileSystemWatcher::Batch batch;
        batch.paths = std::move(paths);
        batch.lastEventID = ++eventID;
        return batch;
    }
    std::uint64_t eventID = 1000;
};

TEST_F(Lifecycle, WithoutArchiveBuildsVisiblySavesAndWatchesFromNow) {
    home.file("docs/alpha.txt");
    auto env = environment();
    env.watchFileSystem = true;
    auto store = makeStore(env);
    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    store->lifecycle().start();
    EXPECT_EQ(store->lifecycle().phase(), Phase::building);
    EXPECT_EQ(store->session().status().kind, SearchStatus::Kind::building);
    ASSERT_TRUE(installed.wait(patience));
    EXPECT_EQ(store->lifecycle().phase(), Phase::ready);
    EXPECT_EQ(installed.front().front().toBool(), false); // visible, not quiet
    EXPECT_EQ(store->session().status().kind, SearchStatus::Kind::ready);
    EXPECT_EQ(store->session().status().entries, 2);
    EXPECT_EQ(store->lifecycle().lastEventID(), 0u);
    EXPECT_DOUBLE_EQ(LastFullScan::read(store->settings()), clocks.wall.load());
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->lifecycle().isWatching(); }, patience));

    const auto loaded = IndexArchive::load(store->lifecycle().roots(), archive());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lastEventID, 0u);
    EXPECT_EQ(loaded->index.count(), 2);
}

// Without an archive, the query typed before the start answers from the first part the
// scan has read while the scan is held, with its progress, then from the whole index.
// Nothing of the part is saved or kept: the archive and the next estimate are the whole's.
TEST_F(Lifecycle, FirstScanIsSearchedWhileItRunsThenReplacedByTheWhole) {
    home.file("report-top.txt");
    for (int d = 0; d < 6; ++d)
        home.file("r" + std::to_string(d) + "/report-" + std::to_string(d) + ".txt");
    auto gate = std::make_shared<ScanGate>();
    auto env = environment();
    env.buildWorkers = 1;
    env.timing.partialInterval = 0ms;
    env.partialHandedOver = [gate] { gate->wait(); };
    auto store = makeStore(env);
    const std::shared_ptr<void> opensAtTheEnd(nullptr, [gate](void*) { gate->open(); });
    store->settings().setInteger("indexEntries", 5000); // the last index's size
    store->session().setQuery("report");
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    store->lifecycle().start();
    ASSERT_TRUE(rows.wait(patience));
    EXPECT_EQ(store->lifecycle().phase(), Phase::building);
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"report-top.txt"});
    const auto progress = store->lifecycle().scanProgress();
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->entries, store->lifecycle().entryCount());
    EXPECT_EQ(progress->expected, 5000);
    store->lifecycle().saveArchive(true);
    EXPECT_FALSE(std::filesystem::exists(archive()));

    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    gate->open();
    ASSERT_TRUE(installed.wait(patience));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 7; }, patience));
    EXPECT_FALSE(store->lifecycle().scanProgress());
    EXPECT_EQ(store->lifecycle().phase(), Phase::ready);
    EXPECT_EQ(store->settings().integer("indexEntries", 0), 14);
    EXPECT_EQ(IndexArchive::load(store->lifecycle().roots(), archive())->index.count(), 14);
}

// A folder where the archive belongs made every save fail unseen, and so did preferences
// that could not be written at exit: both are listed, and the index is saved beside the
// folder, where the next start looks too.
TEST_F(Lifecycle, SavesThatCannotGoWhereTheyBelongAreListed) {
    home.file("docs/alpha.txt");
    state.dir("index.veskoindex");
    state.file("plain");
    auto env = environment();
    env.settingsPath = state.path("plain/vesko.conf");
    auto store = startedStore(env);
    EXPECT_TRUE(store->saveBeforeExit());
    EXPECT_TRUE(IndexArchive::load(store->lifecycle().roots(), state.path("index-2.veskoindex")));
    std::vector<std::pair<StoreProblem::Kind, QString>> listed;
    for (const StoreProblem& problem : store->problems().list())
        listed.emplace_back(problem.kind, problem.detail);
    EXPECT_EQ(listed, (std::vector<std::pair<StoreProblem::Kind, QString>>{
                          {StoreProblem::Kind::archiveDisplaced, QString::fromStdString(archive())},
                          {StoreProblem::Kind::settingsNotSaved,
                           QString::fromStdString(env.settingsPath)}}));
}

TEST_F(Lifecycle, FromArchiveSearchableAtOnceThenCatchesUpWithChangesMadeMeanwhile) {
    home.file("docs/old.txt");
    startedStore().reset();    // builds and saves the archive
    home.file("docs/new.txt"); // made while Vesko was not running
    home.remove("docs/old.txt");

    auto env = environment();
    env.watchFileSystem = true;
    auto store = makeStore(env);
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    store->lifecycle().start();
    // Installed synchronously, before any background work ran.
    EXPECT_EQ(store->lifecycle().phase(), Phase::ready);
    EXPECT_EQ(store->session().status().kind, SearchStatus::Kind::items);
    EXPECT_EQ(store->session().status().entries, 2);
    EXPECT_NE(store->lifecycle().lastEventID(), 0u);
    searchFor(*store, "old");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"old.txt"});

    // The watcher's first batch names every root, so the updater reads them all again.
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    EXPECT_FALSE(store->lifecycle().isRecoveringOverflow());
    researchAndWait(*store);
    EXPECT_TRUE(store->session().rowCount() == 0);
    searchFor(*store, "new");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"new.txt"});

    // What the updater appended to the loaded columns is saved with them.
    EXPECT_TRUE(store->saveBeforeExit());
    const auto saved = IndexArchive::load(store->lifecycle().roots(), archive());
    ASSERT_TRUE(saved);
    EXPECT_EQ(livePaths(saved->index, *saved->names),
              livePaths(*store->lifecycle().index(), *store->lifecycle().names()));
}

// A key typed while the update's own search of the shorter word still runs must not narrow
// what was found before the update: the new file holds the longer word.
TEST_F(Lifecycle, AKeyTypedRightAfterAnUpdateFindsTheFilesItMade) {
    // Few matches among many names, or the longer word would search every name anyway.
    for (int i = 0; i < 40; ++i)
        home.file("docs/rep" + std::to_string(i) + ".txt");
    for (int i = 0; i < 600; ++i)
        home.file("other/file" + std::to_string(i) + ".txt");
    auto env = environment();
    env.timing.flushDelay = 1ms;
    auto store = startedStore(env);
    searchFor(*store, "rep");
    ASSERT_EQ(store->session().totalMatches(), 40);
    QSignalSpy rows(&store->session(), &SearchSession::rowsChanged);
    bool typed = false;
    // Connected after the session's own handler, so it runs once that search has started.
    QObject::connect(&store->lifecycle(), &IndexLifecycle::indexReplaced, &store->session(),
                     [&](IndexLifecycle::Change change) {
                         if (change != IndexLifecycle::Change::updated || typed) return;
                         typed = true;
                         store->session().setQuery("report");
                     });
    store->lifecycle().enqueue(batchOf({home.file("docs/report-new.txt")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return typed; }, patience));
    finishTasks(*store);
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"report-new.txt"});
}

TEST_F(Lifecycle, TenBatchesInAStreamCauseOneFlushWithAllOfThemMerged) {
    auto env = environment();
    // The real ratio of batch spacing to quiet period is 0.5 : 0.7; the spacing here keeps
    // its margin under a loaded machine while the sum of the gaps exceeds the period.
    env.timing.flushDelay = 300ms;
    auto store = startedStore(env);
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    const auto merged = [&] {
        qint64 batches = 0;
        for (const auto& flush : applied)
            batches += flush.front().toLongLong();
        return batches;
    };
    // Only a machine too busy to keep the pace may see a gap longer than the quiet period.
    bool paced = true;
    auto previous = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) {
        store->lifecycle().enqueue(
            batchOf({home.file("docs/stream" + std::to_string(i) + ".txt")}));
        const auto now = std::chrono::steady_clock::now();
        paced = paced && now - previous < env.timing.flushDelay;
        previous = now;
        QTest::qWait(100);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return merged() == 10; }, patience));
    EXPECT_FALSE(store->lifecycle().hasPendingBatch());
    if (paced) {
        EXPECT_EQ(applied.count(), 1);
    }
    EXPECT_EQ(store->lifecycle().lastEventID(), eventID);
    searchFor(*store, "stream");
    EXPECT_EQ(store->session().rowCount(), 10);
}

TEST_F(Lifecycle, ABatchArrivingWhileAnotherIsAppliedWaitsAndIsAppliedAfterIt) {
    // A subtree large enough that reading it again outlasts a short quiet period.
    for (int d = 0; d < 300; ++d)
        for (int f = 0; f < 10; ++f)
            home.file("bulk/d" + std::to_string(d) + "/f" + std::to_string(f));
    auto env = environment();
    env.timing.flushDelay = 1ms;
    auto store = startedStore(env);
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);

    auto slow = batchOf({});
    slow.mustScanSubtrees = {home.path("bulk")};
    store->lifecycle().enqueue(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->lifecycle().isApplying(); }, patience));
    store->lifecycle().enqueue(batchOf({home.file("docs/waiting.txt")}));
    // Its quiet period passes during the application (timers of one interval fire in the
    // order they started, so once this one has, so has the flush); it stays pending, not
    // applied twice at once and not lost.
    QTimer quiet;
    quiet.setSingleShot(true);
    QSignalSpy passed(&quiet, &QTimer::timeout);
    quiet.start(env.timing.flushDelay);
    ASSERT_TRUE(passed.wait(patience));
    if (applied.isEmpty()) {
        EXPECT_TRUE(store->lifecycle().isApplying());
        EXPECT_TRUE(store->lifecycle().hasPendingBatch());
    }
    ASSERT_TRUE(waitForBatch(*store, applied, 2));
    EXPECT_EQ(applied.at(0).front().toLongLong(), 0);
    EXPECT_EQ(applied.at(1).front().toLongLong(), 1);
    EXPECT_FALSE(store->lifecycle().hasPendingBatch());
}

// Applied changes are saved only past the save interval or at exit, and the navigator the
// updater built is released by the reaper once idle, not while still in use.
TEST_F(Lifecycle, AppliedChangesAreSavedOnTimeAndTheIdleNavigatorIsReleased) {
    auto store = startedStore();
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    QSignalSpy saved(&store->lifecycle(), &IndexLifecycle::archiveSaved);
    const auto archivedCount = [&] {
        return IndexArchive::load(store->lifecycle().roots(), archive())->index.count();
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
        store->lifecycle().enqueue(batchOf({home.file("docs/change" + std::to_string(i))}));
        ASSERT_TRUE(waitForBatch(*store, applied, static_cast<int>(i) + 1));
        if (steps[i].saves) {
            ++expectedSaves;
            ASSERT_TRUE(QTest::qWaitFor([&] { return saved.count() == expectedSaves; }, patience));
            EXPECT_EQ(archivedCount(), built + static_cast<std::int64_t>(i) + 1);
        }
        EXPECT_EQ(saved.count(), expectedSaves);
    }
    store->lifecycle().enqueue(batchOf({home.file("docs/unsaved")}));
    ASSERT_TRUE(waitForBatch(*store, applied, 6));
    EXPECT_EQ(archivedCount(), built + 5);
    EXPECT_TRUE(store->saveBeforeExit());
    EXPECT_EQ(archivedCount(), built + 6);
    EXPECT_EQ(IndexArchive::load(store->lifecycle().roots(), archive())->lastEventID, eventID);

    ASSERT_TRUE(store->lifecycle().navigatorReady());
    clocks.advance(60s);
    store->lifecycle().reap();
    EXPECT_TRUE(store->lifecycle().navigatorReady());
    clocks.advance(31s);
    store->lifecycle().reap();
    EXPECT_FALSE(store->lifecycle().navigatorReady());
}

TEST_F(Lifecycle, StalenessByAgeOrUnresolvedPathsStartsAQuietRebuild) {
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
        QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
        if (c.unresolved > 0) {
            std::vector<std::string> paths;
            for (int i = 0; i < c.unresolved; ++i)
                paths.push_back("/nowhere-" + std::to_string(i) + "/x");
            store->lifecycle().enqueue(batchOf(paths));
            ASSERT_TRUE(waitForBatch(*store, applied, 1));
            EXPECT_EQ(store->lifecycle().unresolvedTotal(), c.unresolved);
        }
        clocks.advance(c.age);
        store->lifecycle().refreshIfStale();
        EXPECT_EQ(store->lifecycle().isRefreshing(), c.stale);
        EXPECT_EQ(store->lifecycle().phase(), Phase::ready);
        if (c.stale) {
            EXPECT_EQ(store->lifecycle().unresolvedTotal(), 0);
            QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
            ASSERT_TRUE(installed.wait(patience));
            EXPECT_TRUE(installed.front().front().toBool());
            EXPECT_FALSE(store->lifecycle().isRefreshing());
        }
    }
}

TEST_F(Lifecycle, AMissingLastFullScanRebuildsQuietlyRightAfterTheArchiveLoads) {
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
    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    store->lifecycle().start();
    EXPECT_EQ(store->lifecycle().phase(), Phase::ready);
    EXPECT_TRUE(store->lifecycle().isRefreshing());
    ASSERT_TRUE(installed.wait(patience));
    EXPECT_TRUE(installed.front().front().toBool());
}

TEST_F(Lifecycle, AQuietRebuildKeepsTheOldIndexSearchableUntilTheNewOneIsInstalled) {
    home.file("docs/report-a.txt");
    TempTree volume;
    volume.file("report-b.txt");
    auto store = startedStore();
    searchFor(*store, "report");
    ASSERT_EQ(store->session().rowCount(), 1);

    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    QSignalSpy phases(&store->lifecycle(), &IndexLifecycle::phaseChanged);
    store->lifecycle().setExtraRoots({volume.root()});
    EXPECT_TRUE(store->lifecycle().isRefreshing());
    // Searches keep answering from the old index meanwhile.
    researchAndWait(*store);
    if (installed.isEmpty()) {
        EXPECT_EQ(store->session().rowCount(), 1);
    }
    ASSERT_TRUE(installed.count() > 0 || installed.wait(patience));
    EXPECT_EQ(phases.count(), 0); // never back to building
    researchAndWait(*store);
    EXPECT_EQ(rowNames(*store), (std::vector<std::string>{"report-a.txt", "report-b.txt"}));

    // Asked again while one runs: a visible build instead.
    store->lifecycle().rebuildQuietly();
    EXPECT_TRUE(store->lifecycle().isRefreshing());
    store->lifecycle().rebuildQuietly();
    EXPECT_EQ(store->lifecycle().phase(), Phase::building);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return store->lifecycle().phase() == Phase::ready && !store->lifecycle().isRefreshing();
        },
        patience));
}

// Rounds of many files made and deleted beside a few that stay: the deleted entries are
// reclaimed as the index goes, so neither the archive nor the index's memory grows with the
// churn.
TEST_F(Lifecycle, ChurnIsReclaimedInTheArchiveAndInMemory) {
    const int kept = 500, churned = 5000, rounds = 6;
    for (int i = 0; i < kept; ++i)
        home.file("keep/" + std::to_string(i / 500) + "/kept-" + std::to_string(i) + ".txt");
    const std::string churn = home.dir("churn");
    auto store = watchingStore(environment());
    const auto live = [&] {
        return store->lifecycle().entryCount() -
               IndexCompactor::deletedCount(*store->lifecycle().index());
    };
    const std::int64_t steady = live();
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < churned; ++i)
            std::ofstream(churn + "/r" + std::to_string(round) + "-" + std::to_string(i) + ".tmp");
        ASSERT_TRUE(QTest::qWaitFor([&] { return live() == steady + churned; }, patience))
            << "round " << round << ": " << live();
        for (const auto& item : std::filesystem::directory_iterator(churn))
            std::filesystem::remove(item.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return live() == steady; }, patience))
            << "round " << round << ": " << live();
    }
    QSignalSpy saved(&store->lifecycle(), &IndexLifecycle::archiveSaved);
    store->lifecycle().saveArchive(true);
    ASSERT_TRUE(saved.wait(patience));
    const auto memoryOf = [](const FileIndex& index, const NameTable& names) {
        return static_cast<double>(index.payloadBytes() + names.nameBytes() + names.displayBytes() +
                                   names.startsBytes());
    };
    const double churnedMemory = memoryOf(*store->lifecycle().index(), *store->lifecycle().names());

    auto fresh = IndexBuilder::build(store->lifecycle().roots(), 2, std::make_shared<NameTable>(),
                                     store->lifecycle().effectiveExclusions());
    ASSERT_FALSE(fresh.error);
    ASSERT_FALSE(IndexArchive::save(fresh.index, *fresh.names, 0, 1, state.path("fresh")));
    const auto archiveBytes = static_cast<double>(std::filesystem::file_size(archive()));
    const auto freshBytes = static_cast<double>(std::filesystem::file_size(state.path("fresh")));
    const double freshMemory = memoryOf(fresh.index, *fresh.names);
    EXPECT_LE(archiveBytes, 1.5 * freshBytes);
    EXPECT_LE(churnedMemory, 1.3 * freshMemory);
}

} // namespace
} // namespace vesko::test
