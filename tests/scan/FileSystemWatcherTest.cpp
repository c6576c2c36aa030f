// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/FileSystemWatcher.h"

#include "support/BatchRecorder.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace vesko {
namespace {

using namespace std::chrono_literals;
using Batch = FileSystemWatcher::Batch;

using Collector = test::BatchRecorder;

void touch(const std::string& path) {
    ASSERT_TRUE(std::ofstream(path)) << path;
}
void makeFolder(const std::string& path) {
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}
void rename(const std::string& from, const std::string& to) {
    ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0) << from << " -> " << to;
}

class FileSystemWatcherTest : public ::testing::Test {
protected:
    std::string at(const std::string& relative) const { return tree.path(relative); }

    test::TempTree tree;
    Collector collector;
};

// Each change in turn: changes that leave every path as it was, which the live-consistency
// test (comparing paths) cannot see, and a whole subtree removed.
TEST_F(FileSystemWatcherTest, NamesEveryChangedItemByItsAbsolutePathOnTheWatchersThread) {
    for (const char* file : {"f", "g", "d/e/f"})
        tree.file(file, "1");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);
    const std::pair<std::function<void()>, std::vector<std::string>> changes[] = {
        {[&] { tree.file("f", "22"); }, {"f"}},
        {[&] { tree.chmod("g", 0600); }, {"g"}},
        {[&] { tree.remove("d"); }, {"d/e/f", "d/e", "d"}},
    };
    for (const auto& [change, expected] : changes) {
        change();
        for (const auto& relative : expected)
            EXPECT_TRUE(collector.waitForPath(at(relative))) << relative;
    }
    const auto seen = collector.seen();
    for (const auto& batch : seen.batches)
        EXPECT_TRUE(batch.mustScanSubtrees.empty());
    EXPECT_FALSE(watcher.watchLimitReached());
    EXPECT_EQ(seen.threads.size(), 1u);
    EXPECT_FALSE(seen.threads.contains(std::this_thread::get_id()));
    EXPECT_EQ(seen.threadNames, std::set<std::string>{"app.vesko.Vesko"});
}

TEST_F(FileSystemWatcherTest, WatchesEveryFolderOfATrickyTreeWithoutFollowingLinks) {
    tree.addTrickyTree();
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);
    std::vector<std::string> added;
    for (const auto& relative : tree.listAll()) {
        struct stat st {};
        if (::lstat(at(relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            touch(added.emplace_back(at(relative + "/new")));
    }
    EXPECT_GE(added.size(), 15u);
    for (const auto& path : added)
        EXPECT_TRUE(collector.waitForPath(path)) << path;
    // "loop/up" leads back to the root; a watch through it would name paths below it.
    for (const auto& path : collector.seen().paths)
        EXPECT_EQ(path.find("/loop/up/"), std::string::npos) << path;
}

// A folder made and renamed at once: the creation events inside it name the old path,
// which is gone by the time the reader acts on them. Losing one folder here lost every
// later change inside it, so the race is run many times.
TEST_F(FileSystemWatcherTest, FolderRenamedRightAfterItsCreationStaysWatched) {
    tree.dir("top");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);
    for (int i = 0; i < 60; ++i) {
        const std::string made = "top/made" + std::to_string(i);
        const std::string renamed = "top/renamed" + std::to_string(i);
        makeFolder(at(made));
        makeFolder(at(made + "/inner"));
        makeFolder(at(made + "/inner/deeper"));
        rename(at(made), at(renamed));
        touch(at("marker" + std::to_string(i)));
        ASSERT_TRUE(collector.waitForPath(at("marker" + std::to_string(i))));
        touch(at(renamed + "/inner/deeper/probe"));
        ASSERT_TRUE(collector.waitForPath(at(renamed + "/inner/deeper/probe"))) << "round " << i;
    }
}

TEST_F(FileSystemWatcherTest, FolderMovesKeepLaterPathsRight) {
    test::TempTree outside;
    tree.dir("x/y");
    tree.dir("x.d"); // sorts between "x" and "x/y": not part of x's subtree
    tree.dir("m/sub");
    outside.file("in/deep/f");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);

    rename(at("x"), at("z"));
    touch(at("z/y/new"));
    ASSERT_TRUE(collector.waitForPath(at("z/y/new")));
    rename(at("z/y"), at("y2")); // out of its renamed parent
    touch(at("y2/again"));
    ASSERT_TRUE(collector.waitForPath(at("y2/again")));
    touch(at("x.d/f"));
    ASSERT_TRUE(collector.waitForPath(at("x.d/f")));

    rename(at("m"), outside.path("m"));
    ASSERT_TRUE(collector.waitForPath(at("m")));
    touch(outside.path("m/sub/f")); // no longer below the root: must stay unseen
    rename(outside.path("in"), at("in"));
    for (const char* relative : {"in", "in/deep", "in/deep/f"})
        EXPECT_TRUE(collector.waitForPath(at(relative))) << relative;
    touch(at("in/deep/g"));
    EXPECT_TRUE(collector.waitForPath(at("in/deep/g")));

    // One inotify queue keeps order: whatever m/sub/f caused was delivered by now.
    for (const auto& path : collector.seen().paths) {
        EXPECT_EQ(path.find(at("x/")), std::string::npos) << path;
        EXPECT_EQ(path.find("/sub/f"), std::string::npos) << path;
    }
}

TEST_F(FileSystemWatcherTest, ExcludedFoldersAreNeverWatched) {
    tree.dir("skip/inner");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0, {at("skip"), at("later")});
    touch(at("skip/inner/f"));
    makeFolder(at("later"));
    touch(at("later/f"));
    touch(at("marker"));
    ASSERT_TRUE(collector.waitForPath(at("marker")));
    const auto paths = collector.seen().paths;
    EXPECT_TRUE(paths.contains(at("later"))); // a change in a watched folder
    for (const auto& path : paths) {
        EXPECT_EQ(path.find("/skip/"), std::string::npos) << path;
        EXPECT_EQ(path.find("/later/"), std::string::npos) << path;
    }
}

TEST_F(FileSystemWatcherTest, StartedSinceAnEarlierRunNamesEveryRootFirst) {
    const std::string one = tree.dir("one"), two = tree.dir("two");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({one, two}, 12345);
    ASSERT_TRUE(collector.waitFor([](const auto& seen) { return !seen.batches.empty(); }));
    const Batch first = collector.seen().batches.front();
    EXPECT_EQ(first.mustScanSubtrees, (std::vector<std::string>{one, two}));
    EXPECT_TRUE(first.paths.empty());

    watcher.start({one, two}, 0); // live changes only from here
    touch(one + "/f");
    ASSERT_TRUE(collector.waitForPath(one + "/f"));
    const auto batches = collector.seen().batches;
    for (auto it = batches.begin() + 1; it != batches.end(); ++it)
        EXPECT_TRUE(it->mustScanSubtrees.empty());
}

TEST_F(FileSystemWatcherTest, IdentifiersGrowStrictlyAcrossRestartsAndAClockGoingBack) {
    FileSystemWatcher::Options options = test::fastWatcher();
    options.latency = 0ms;
    std::uint64_t clockValue = 5000; // read on the watcher's thread only
    options.clock = [&clockValue] { return clockValue = clockValue > 100 ? clockValue - 100 : 0; };
    FileSystemWatcher watcher(collector.handler(), options);
    watcher.start({tree.root()}, 10000);
    for (const char* name : {"f0", "f1", "f2"}) {
        touch(at(name));
        ASSERT_TRUE(collector.waitForPath(at(name)));
    }
    watcher.stop();
    watcher.start({tree.root()}, 0);
    touch(at("after"));
    ASSERT_TRUE(collector.waitForPath(at("after")));
    watcher.stop();

    const auto batches = collector.seen().batches;
    ASSERT_GE(batches.size(), 5u);
    for (std::size_t i = 0; i < batches.size(); ++i)
        EXPECT_EQ(batches[i].lastEventID, 10001u + i);
}

TEST_F(FileSystemWatcherTest, WatchLimitSendsEachUnwatchedFolderToRescanOnce) {
    for (const char* folder : {"a", "b", "c"})
        tree.dir(folder);
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher(2)); // the root and one folder
    watcher.start({tree.root()}, 0);
    EXPECT_TRUE(watcher.watchLimitReached());
    ASSERT_TRUE(collector.waitFor([](const auto& seen) { return !seen.batches.empty(); }));
    std::set<std::string> watched{at("a"), at("b"), at("c")};
    const auto unwatched = collector.seen().batches.front().mustScanSubtrees;
    ASSERT_EQ(unwatched.size(), 2u);
    for (const auto& path : unwatched)
        EXPECT_EQ(watched.erase(path), 1u) << path;
    ASSERT_EQ(watched.size(), 1u);
    touch(*watched.begin() + "/f");
    EXPECT_TRUE(collector.waitForPath(*watched.begin() + "/f"));

    makeFolder(at("d"));
    EXPECT_TRUE(collector.waitForSubtree(at("d")));
    ASSERT_EQ(::rmdir(at("d").c_str()), 0);
    makeFolder(at("d"));
    touch(at("marker"));
    ASSERT_TRUE(collector.waitForPath(at("marker")));
    EXPECT_EQ(Collector::rescanCount(collector.seen(), at("d")), 1);
}

TEST_F(FileSystemWatcherTest, DeletedOrMovedRootIsNamedForRescan) {
    const std::string deleted = tree.dir("deleted"), moved = tree.dir("moved");
    tree.file("deleted/inner/f");
    tree.file("moved/inner/f");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({deleted, moved}, 0);
    std::filesystem::remove_all(deleted);
    rename(moved, moved + "-away");
    EXPECT_TRUE(collector.waitForSubtree(deleted));
    EXPECT_TRUE(collector.waitForSubtree(moved));
}

TEST_F(FileSystemWatcherTest, LostEventsSendEveryRootToRescan) {
    int queued = 0;
    if (std::ifstream limit("/proc/sys/fs/inotify/max_queued_events"); !(limit >> queued))
        GTEST_SKIP() << "no inotify queue limit to read";
    if (queued > 1000000) GTEST_SKIP() << "a queue of " << queued << " events takes too long";
    const std::string one = tree.dir("one"), two = tree.dir("two");
    const std::string a = tree.file("one/a"), b = tree.file("one/b");
    FileSystemWatcher watcher(collector.handler(), test::fastWatcher());
    watcher.start({one, two}, 0);
    collector.hold(true);
    touch(one + "/first");
    ASSERT_TRUE(collector.waitUntilHolding());
    // One IN_ATTRIB each; alternating files, as the kernel merges an event equal to the last.
    for (int i = 0; i <= queued; ++i)
        ASSERT_EQ(::chmod((i % 2 ? a : b).c_str(), i % 4 < 2 ? 0600 : 0644), 0);
    collector.hold(false);
    EXPECT_TRUE(collector.waitForSubtree(one));
    EXPECT_TRUE(collector.waitForSubtree(two));
    touch(two + "/after");
    EXPECT_TRUE(collector.waitForPath(two + "/after"));
}

TEST_F(FileSystemWatcherTest, StopEndsTheReaderPromptlyAndDeliversNothingMore) {
    FileSystemWatcher::Options options = test::fastWatcher();
    options.latency = 10s; // holds back everything after the first batch
    FileSystemWatcher watcher(collector.handler(), options);
    watcher.start({}, 7);
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_THROW(watcher.start({"relative"}, 0), std::invalid_argument);
    watcher.start({tree.root()}, 0);
    touch(at("first"));
    ASSERT_TRUE(collector.waitForPath(at("first")));
    touch(at("second"));
    watcher.stop();
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_FALSE(collector.seen().paths.contains(at("second")));
}

} // namespace
} // namespace vesko
