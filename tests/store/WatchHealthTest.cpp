// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include <fstream>

namespace vesko::test {
namespace {

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

} // namespace
} // namespace vesko::test
