// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFixture.h"

#include "support/ScopedEnv.h"

#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

namespace vesko::test {
namespace {

using Phase = IndexLifecycle::Phase;

class RootTracking : public StoreFixture {
protected:
    // Waits for the quiet rebuild a change started; false when none started.
    static bool rebuilt(IndexStore& store, QSignalSpy& installed, int count) {
        return QTest::qWaitFor([&] { return installed.count() >= count; }, patience) &&
               !store.lifecycle().isRefreshing();
    }
};

TEST_F(RootTracking, AVolumeToggledOnIsIndexedAndDropsOutWhileUnmounted) {
    TempTree disk;
    disk.file("photo-on-disk.jpg");
    const std::string mountPoint = disk.root();
    volumes = {Volume{mountPoint, "Disk", true, false}};
    auto store = startedStore();
    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    EXPECT_EQ(store->lifecycle().mountedVolumes(), volumes);

    store->lifecycle().setExtraRoots({mountPoint});
    ASSERT_TRUE(rebuilt(*store, installed, 1));
    EXPECT_EQ(store->lifecycle().roots(), (std::vector<std::string>{home.root(), mountPoint}));
    searchFor(*store, "photo");
    EXPECT_EQ(store->session().rowCount(), 1);

    // Unmounted: the path is gone, the preference keeps it.
    std::filesystem::rename(mountPoint, mountPoint + ".away");
    volumes.clear();
    store->lifecycle().volumesChanged();
    ASSERT_TRUE(rebuilt(*store, installed, 2));
    EXPECT_EQ(store->lifecycle().roots(), std::vector<std::string>{home.root()});
    EXPECT_TRUE(store->lifecycle().mountedExtraRoots().empty());
    EXPECT_EQ(Settings(state.path("vesko.conf")).extraRoots(),
              std::vector<std::string>{mountPoint});
    store->session().search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 0; }, patience));

    // Mounted again: back in the roots.
    std::filesystem::rename(mountPoint + ".away", mountPoint);
    volumes = {Volume{mountPoint, "Disk", true, false}};
    store->lifecycle().volumesChanged();
    ASSERT_TRUE(rebuilt(*store, installed, 3));
    EXPECT_EQ(store->lifecycle().mountedExtraRoots(), std::set<std::string>{mountPoint});
}

TEST_F(RootTracking, ChangesThatLeaveTheEffectiveRootsAloneDoNotRebuild) {
    TempTree disk;
    const std::string other = home.dir("excluded");
    auto store = startedStore();
    store->lifecycle().setExtraRoots({disk.root()});
    store->lifecycle().setExcludedFolders({other});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !store->lifecycle().isRefreshing() && store->lifecycle().phase() == Phase::ready;
        },
        patience));
    QSignalSpy refreshing(&store->lifecycle(), &IndexLifecycle::isRefreshingChanged);
    QSignalSpy phases(&store->lifecycle(), &IndexLifecycle::phaseChanged);
    QSignalSpy mounted(&store->lifecycle(), &IndexLifecycle::mountedVolumesChanged);

    store->lifecycle().setExtraRoots({disk.root()});
    store->lifecycle().setExcludedFolders(
        {other + "/", other, other + "/inner"});              // normalises to the same
    volumes = {Volume{"/media/stick", "Stick", true, false}}; // not an extra root
    store->lifecycle().volumesChanged();
    EXPECT_EQ(mounted.count(), 1);
    EXPECT_EQ(store->lifecycle().mountedVolumes(), volumes);
    EXPECT_EQ(refreshing.count(), 0);
    EXPECT_EQ(phases.count(), 0);
}

// Deleted files must not come back as hits, nor Vesko's own data: the Trash, a disk's
// .Trash-UID and the preferences' folder are left out by a build and by live updates.
TEST_F(RootTracking, TheTrashAndVeskosOwnFoldersStayOutOfTheIndex) {
    test::ScopedEnv data;
    data.set("XDG_DATA_HOME", std::nullopt);
    const std::string perDisk = ".Trash-" + std::to_string(::getuid());
    home.file(".local/share/Trash/files/old-deleted.txt");
    home.file(perDisk + "/files/disk-deleted.txt");
    home.file(".config/vesko/vesko-own.txt");
    home.file("docs/deleted-now.txt");
    auto env = environment();
    env.settingsPath = home.path(".config/vesko/vesko.conf");
    auto store = watchingStore(env);
    for (const std::string& folder :
         {home.path(".local/share/Trash"), home.path(perDisk), home.path(".config/vesko")})
        EXPECT_TRUE(
            store->lifecycle().builtInExclusionList().contains(QString::fromStdString(folder)))
            << folder;
    searchFor(*store, "deleted");
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"deleted-now.txt"});
    searchFor(*store, "vesko-own");
    EXPECT_EQ(store->session().rowCount(), 0);

    // Trashed while running, the way a file manager does it.
    searchFor(*store, "deleted");
    home.file(".local/share/Trash/info/deleted-now.txt.trashinfo", "[Trash Info]\n");
    std::filesystem::rename(home.path("docs/deleted-now.txt"),
                            home.path(".local/share/Trash/files/deleted-now.txt"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 0; }, patience));
    // Events come in order: once a file made after the move is listed, no late batch of the
    // move can bring the trashed one back.
    home.file("docs/made-after-deleted.txt");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rowNames(*store) == std::vector<std::string>{"made-after-deleted.txt"}; },
        patience));
}

// Folders are left out from the settings window, or by hand in the preferences file while
// Vesko runs or while it does not.
TEST_F(RootTracking, ExcludedFoldersApplyWhileRunningAndAtTheNextStart) {
    home.file("private/secret-plan.txt");
    home.file("public/open-plan.txt");
    const auto excludeByHand = [&](const std::string& folder) {
        std::ofstream(state.path("vesko.conf")) << "[General]\nexcludedFolders=" << folder << "\n";
    };
    auto store = startedStore();
    QSignalSpy installed(&store->lifecycle(), &IndexLifecycle::buildInstalled);
    searchFor(*store, "plan");
    ASSERT_EQ(store->session().rowCount(), 2);

    excludeByHand(home.path("private"));
    ASSERT_TRUE(rebuilt(*store, installed, 1));
    EXPECT_EQ(store->lifecycle().excludedFolders(), std::vector<std::string>{home.path("private")});
    researchAndWait(*store);
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"open-plan.txt"});

    store->lifecycle().setExcludedFolders({home.path("public")});
    ASSERT_TRUE(rebuilt(*store, installed, 2));
    researchAndWait(*store);
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"secret-plan.txt"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->lifecycle().isRefreshing(); }, patience));
    store.reset();

    // The archive lists private and not public; the file now says the opposite.
    excludeByHand(home.path("private"));
    auto restarted = makeStore();
    QSignalSpy again(&restarted->lifecycle(), &IndexLifecycle::buildInstalled);
    restarted->lifecycle().start();
    ASSERT_EQ(restarted->lifecycle().phase(), Phase::ready) << "the archive did not load";
    ASSERT_TRUE(rebuilt(*restarted, again, 1));
    searchFor(*restarted, "plan");
    EXPECT_EQ(rowNames(*restarted), std::vector<std::string>{"open-plan.txt"});
}

// Paths show the link the user's home is, as given; only the root's own link is followed.
TEST_F(RootTracking, AHomeFolderThatIsALinkIsIndexedAndWatchedThroughIt) {
    TempTree real;
    real.file("docs/in-linked-home.txt");
    const std::string link = state.symlink(real.root(), "home-link");
    auto env = environment();
    env.home = link;
    auto store = watchingStore(env);
    searchFor(*store, "linked-home");
    ASSERT_EQ(store->session().rowCount(), 1);
    EXPECT_EQ(store->session().row(0).directory, link + "/docs");
    EXPECT_TRUE(store->lifecycle().unreadableRoots().empty());
    searchFor(*store, "made-later");
    real.file("docs/made-later.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 1; }, patience));

    env.home = state.path("no-such-home");
    env.archivePath = [this](const std::vector<std::string>&) { return state.path("other"); };
    auto missing = startedStore(env);
    EXPECT_EQ(missing->lifecycle().unreadableRoots(),
              (std::vector<UnreadableFolder>{{state.path("no-such-home"), ENOENT}}));
}

TEST_F(RootTracking, AnExtraRootDeletedAndMadeAgainLosesItsEntriesThenIndexesTheNewOnes) {
    TempTree disk;
    const std::string root = disk.dir("extra");
    disk.file("extra/before-delete.txt");
    auto store = watchingStore(environment());
    store->lifecycle().setExtraRoots({root});
    searchFor(*store, "delete");
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 1; }, patience));

    std::filesystem::remove_all(root);
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 0; }, patience))
        << "the deleted root's entries stayed";
    EXPECT_TRUE(store->lifecycle().mountedExtraRoots().empty());

    std::filesystem::create_directory(root);
    disk.file("extra/after-delete.txt");
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 1; }, patience))
        << "the root made again was not indexed";
    EXPECT_EQ(rowNames(*store), std::vector<std::string>{"after-delete.txt"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return store->lifecycle().isWatching() && !store->lifecycle().isRefreshing(); },
        patience));
    disk.file("extra/later-delete.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 2; }, patience))
        << "the root made again is not watched";
}

// Unmounts on every path out of the test, so a failed check leaves no mount behind.
class ScopedMount {
public:
    explicit ScopedMount(std::string point) : point_(std::move(point)) {
        mounted_ = ::mount("vesko-test", point_.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~ScopedMount() { unmount(); }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool isMounted() const { return mounted_; }
    void unmount() {
        if (mounted_) ::umount2(point_.c_str(), MNT_DETACH);
        mounted_ = false;
    }

private:
    std::string point_;
    bool mounted_ = false;
};

TEST_F(RootTracking, AFileSystemMountedInsideARootIsReadAndWatchedThenUnmountedAgain) {
    home.file("mnt/hidden-by-mount.txt");
    auto env = environment();
    env.mountInfoPath = "/proc/self/mountinfo";
    auto store = watchingStore(env);
    searchFor(*store, "mount");
    ASSERT_EQ(rowNames(*store), std::vector<std::string>{"hidden-by-mount.txt"});

    ScopedMount mount(home.path("mnt"));
    if (!mount.isMounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    home.file("mnt/on-mount.txt");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rowNames(*store) == std::vector<std::string>{"on-mount.txt"}; }, patience))
        << "the mounted file system was not read";
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->lifecycle().isWatching(); }, patience));
    home.file("mnt/later-on-mount.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return store->session().rowCount() == 2; }, patience))
        << "the mounted file system is not watched";

    mount.unmount();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rowNames(*store) == std::vector<std::string>{"hidden-by-mount.txt"}; },
        patience))
        << "after unmounting, the folder's own contents did not come back";
}

} // namespace
} // namespace vesko::test
