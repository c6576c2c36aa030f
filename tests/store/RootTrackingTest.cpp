// SPDX-License-Identifier: MIT
#include "StoreFixture.h"

#include "store/MountWatcher.h"

#include <filesystem>
#include <sys/mount.h>

namespace vesko::test {
namespace {

using Phase = IndexStore::Phase;

class RootTracking : public StoreFixture {
protected:
    // Waits for the quiet rebuild a change started; false when none started.
    static bool rebuilt(IndexStore& store, QSignalSpy& installed, int count) {
        return QTest::qWaitFor([&] { return installed.count() >= count; }, patience) &&
               !store.isRefreshing();
    }
};

TEST_F(RootTracking, AVolumeToggledOnIsIndexedAndDropsOutWhileUnmounted) {
    TempTree disk;
    disk.file("photo-on-disk.jpg");
    const std::string mountPoint = disk.root();
    volumes = {Volume{mountPoint, "Disk", true, false}};
    auto store = startedStore();
    QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
    EXPECT_EQ(store->mountedVolumes(), volumes);

    store->setExtraRoots({mountPoint});
    ASSERT_TRUE(rebuilt(*store, installed, 1));
    EXPECT_EQ(store->roots(), (std::vector<std::string>{home.root(), mountPoint}));
    searchFor(*store, "photo");
    EXPECT_EQ(store->rowCount(), 1);

    // Unmounted: the path is gone, the preference keeps it.
    std::filesystem::rename(mountPoint, mountPoint + ".away");
    volumes.clear();
    store->volumesChanged();
    ASSERT_TRUE(rebuilt(*store, installed, 2));
    EXPECT_EQ(store->roots(), std::vector<std::string>{home.root()});
    EXPECT_TRUE(store->mountedExtraRoots().empty());
    EXPECT_EQ(Settings(state.path("vesko.conf")).extraRoots(),
              std::vector<std::string>{mountPoint});
    store->search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->rowCount() == 0; }, patience));

    // Mounted again: back in the roots.
    std::filesystem::rename(mountPoint + ".away", mountPoint);
    volumes = {Volume{mountPoint, "Disk", true, false}};
    store->volumesChanged();
    ASSERT_TRUE(rebuilt(*store, installed, 3));
    EXPECT_EQ(store->mountedExtraRoots(), std::set<std::string>{mountPoint});
}

TEST_F(RootTracking, ChangesThatLeaveTheEffectiveRootsAloneDoNotRebuild) {
    TempTree disk;
    const std::string other = home.dir("excluded");
    auto store = startedStore();
    store->setExtraRoots({disk.root()});
    store->setExcludedFolders({other});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !store->isRefreshing() && store->phase() == Phase::ready; }, patience));
    QSignalSpy refreshing(store.get(), &IndexStore::isRefreshingChanged);
    QSignalSpy phases(store.get(), &IndexStore::phaseChanged);
    QSignalSpy mounted(store.get(), &IndexStore::mountedVolumesChanged);

    store->setExtraRoots({disk.root()});
    store->setExcludedFolders({other + "/", other, other + "/inner"}); // normalises to the same
    volumes = {Volume{"/media/stick", "Stick", true, false}};          // not an extra root
    store->volumesChanged();
    EXPECT_EQ(mounted.count(), 1);
    EXPECT_EQ(store->mountedVolumes(), volumes);
    EXPECT_EQ(refreshing.count(), 0);
    EXPECT_EQ(phases.count(), 0);
}

TEST_F(RootTracking, ExcludedFoldersLeaveTheIndexAfterARebuild) {
    home.file("private/secret-plan.txt");
    auto store = startedStore();
    searchFor(*store, "secret");
    ASSERT_EQ(store->rowCount(), 1);
    QSignalSpy installed(store.get(), &IndexStore::buildInstalled);
    store->setExcludedFolders({home.path("private")});
    EXPECT_EQ(store->excludedFolders(), std::vector<std::string>{home.path("private")});
    ASSERT_TRUE(rebuilt(*store, installed, 1));
    researchAndWait(*store);
    EXPECT_EQ(store->rowCount(), 0);
}

TEST_F(RootTracking, TheDeveloperRootReplacesEveryOtherRoot) {
    home.file("docs/in-home.txt");
    TempTree dev;
    dev.file("in-dev-root.txt");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(dev.root()).parent_path());
    auto env = environment();
    env.devRoot = std::filesystem::path(dev.root()).filename().string(); // relative
    auto store = makeStore(env);
    std::filesystem::current_path(cwd);
    store->setExtraRoots({home.root() + "/docs"});
    EXPECT_EQ(store->roots(), std::vector<std::string>{dev.root()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->phase() == Phase::ready; }, patience));
    searchFor(*store, "in-");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"in-dev-root.txt"});
}

TEST_F(RootTracking, TheMountTableSignalsAChangeWhenAFileSystemIsMounted) {
    MountWatcher watcher;
    ASSERT_TRUE(watcher.watch("/proc/self/mountinfo"));
    QSignalSpy changed(&watcher, &MountWatcher::changed);
    TempTree point;
    if (::mount("vesko-test", point.root().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no permission to mount here";
    const bool seen = changed.wait(patience);
    ::umount(point.root().c_str());
    EXPECT_TRUE(seen);
    EXPECT_FALSE(watcher.watch(state.path("no-such-file")));
}

} // namespace
} // namespace vesko::test
