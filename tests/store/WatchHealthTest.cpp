// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "index/IndexArchive.h"
#include "support/TestSeed.h"

#include <fstream>
#include <random>

namespace vesko::test {
namespace {

using namespace std::chrono_literals;

class WatchHealth : public StoreFixture {};

TEST_F(WatchHealth, PastTheWatchLimitFoldersAreCountedAndKeptCurrentByThePeriodicRescan) {
    for (int i = 0; i < 6; ++i)
        home.dir("many/f" + std::to_string(i));
    auto env = environment();
    env.watchFileSystem = true;
    env.watchLimit = 3;
    auto store = startedStore(env);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return store->lifecycle().unwatchedFolders() > 0; }, patience));
    EXPECT_TRUE(store->lifecycle().watchLimitReached());
    // The limit read from the kernel (8192 here) plus the unwatched folders, rounded up.
    EXPECT_EQ(store->lifecycle().suggestedWatchLimit(), 9216);

    // A file in an unwatched folder is found by the next periodic check alone.
    for (int i = 0; i < 6; ++i)
        home.file("many/f" + std::to_string(i) + "/late-arrival" + std::to_string(i));
    store->lifecycle().reap();
    ASSERT_TRUE(store->lifecycle().hasPendingBatch());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !store->lifecycle().isApplying() && !store->lifecycle().hasPendingBatch(); },
        patience));
    searchFor(*store, "late-arrival");
    EXPECT_EQ(store->session().rowCount(), 6);
}

TEST_F(WatchHealth, AnOverflowIsShownUntilTheRescanOfEveryRootIsApplied) {
    auto store = startedStore();
    QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
    QSignalSpy health(&store->lifecycle(), &IndexLifecycle::watchHealthChanged);
    home.file("docs/lost-event.txt");
    FileSystemWatcher::Batch overflow;
    overflow.mustScanSubtrees = store->lifecycle().roots();
    overflow.lastEventID = 7;
    store->lifecycle().watcherDelivered(overflow);
    EXPECT_TRUE(store->lifecycle().isRecoveringOverflow());
    ASSERT_TRUE(waitForBatch(*store, applied, 1));
    EXPECT_FALSE(store->lifecycle().isRecoveringOverflow());
    EXPECT_EQ(health.count(), 2);
    searchFor(*store, "lost-event");
    EXPECT_EQ(store->session().rowCount(), 1);
}

TEST_F(WatchHealth, ARootThatVanishesIsShownUntilItIsBack) {
    for (const bool replacedByFile : {false, true}) {
        SCOPED_TRACE(replacedByFile ? "replaced by a file" : "moved away");
        TempTree volume;
        volume.file("on-volume.txt");
        auto env = environment();
        env.devRoot = volume.root();
        auto store = watchingStore(env);
        QSignalSpy applied(&store->lifecycle(), &IndexLifecycle::batchApplied);
        const std::string root = volume.root();
        std::filesystem::rename(root, root + ".away");
        if (replacedByFile) std::ofstream(root) << "now a file";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store->lifecycle().vanishedRoots().isEmpty(); },
                                    patience));
        EXPECT_EQ(store->lifecycle().vanishedRoots(), QStringList{QString::fromStdString(root)});
        // The entries stay (an unplugged disk comes back) and searches keep working.
        ASSERT_TRUE(waitForBatch(*store, applied, 1));
        searchFor(*store, "on-volume");
        EXPECT_EQ(store->session().rowCount(), 1);

        std::filesystem::remove(root);
        std::filesystem::rename(root + ".away", root);
        FileSystemWatcher::Batch back;
        back.mustScanSubtrees = {root};
        store->lifecycle().enqueue(back);
        ASSERT_TRUE(waitForBatch(*store, applied, 2));
        EXPECT_TRUE(store->lifecycle().vanishedRoots().isEmpty());
    }
}

// Typing, file-system changes and rebuilds at once; run under TSan to check that searches,
// batch application and builds share nothing unsynchronised. The end state must match a
// fresh build of the same tree.
TEST_F(WatchHealth, TypingChangesAndRebuildsTogether) {
    for (int i = 0; i < 200; ++i)
        home.file("tree/d" + std::to_string(i % 20) + "/report" + std::to_string(i));
    auto env = environment();
    env.watchFileSystem = true;
    env.timing.flushDelay = 5ms;
    auto store = startedStore(env);
    std::mt19937_64 random(testSeed("TypingChangesAndRebuildsTogether"));
    const QString word = "report";
    int made = 0;
    for (int round = 0; round < 40; ++round) {
        store->session().setQuery(word.left(static_cast<int>(random() % word.size()) + 1));
        switch (random() % 5) {
        case 0:
            home.file("tree/d" + std::to_string(random() % 20) + "/report-new" +
                      std::to_string(made++));
            break;
        case 1:
            store->lifecycle().rebuildQuietly();
            break;
        case 2:
            store->lifecycle().refreshIfStale();
            clocks.advance(std::chrono::hours(25));
            break;
        case 3:
            // A row far down is made from the list while batches replace it.
            if (store->session().rowCount() > 0)
                store->session().row(static_cast<qint64>(
                    random() % static_cast<std::uint64_t>(store->session().rowCount())));
            break;
        default:
            break;
        }
        QTest::qWait(static_cast<int>(random() % 15));
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return store->lifecycle().phase() == IndexLifecycle::Phase::ready &&
                   !store->lifecycle().isRefreshing();
        },
        patience));
    // The watcher's last batches come in their own time, and the list follows each.
    store->session().setPageSize(5000);
    searchFor(*store, "report-new");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->session().totalMatches() == made; }, patience))
        << store->session().totalMatches() << " of " << made;
    auto freshEnv = environment();
    freshEnv.archivePath = [this](const std::vector<std::string>&) { return state.path("fresh"); };
    auto fresh = startedStore(freshEnv);
    searchFor(*fresh, "report");
    searchFor(*store, "report");
    EXPECT_EQ(store->session().totalMatches(), fresh->session().totalMatches());
}

} // namespace
} // namespace vesko::test
