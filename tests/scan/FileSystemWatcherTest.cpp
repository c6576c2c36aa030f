// SPDX-License-Identifier: MIT
#include "scan/FileSystemWatcher.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace vesko {
namespace {

using namespace std::chrono_literals;
using Batch = FileSystemWatcher::Batch;

// Receives batches on the watcher's thread; tests wait on it, never sleep.
class Collector {
public:
    FileSystemWatcher::Handler handler() {
        return [this](Batch batch) {
            std::array<char, 16> name{};
            pthread_getname_np(pthread_self(), name.data(), name.size());
            std::unique_lock lock(mutex_);
            ++holding_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
            --holding_;
            threads_.insert(std::this_thread::get_id());
            threadNames_.insert(name.data());
            batches_.push_back(std::move(batch));
            changed_.notify_all();
        };
    }

    bool waitFor(const std::function<bool(const std::vector<Batch>&)>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return done(batches_); });
    }
    bool waitForPath(const std::string& path) {
        return waitFor([&](const auto& batches) { return contains(batches, path, false); });
    }
    bool waitForSubtree(const std::string& path) {
        return waitFor([&](const auto& batches) { return contains(batches, path, true); });
    }

    static bool contains(const std::vector<Batch>& batches, const std::string& path, bool subtree) {
        return std::any_of(batches.begin(), batches.end(), [&](const Batch& b) {
            const auto& list = subtree ? b.mustScanSubtrees : b.paths;
            return std::find(list.begin(), list.end(), path) != list.end();
        });
    }

    std::vector<Batch> batches() const {
        std::lock_guard lock(mutex_);
        return batches_;
    }
    std::set<std::string> allPaths() const {
        std::lock_guard lock(mutex_);
        std::set<std::string> paths;
        for (const auto& batch : batches_)
            paths.insert(batch.paths.begin(), batch.paths.end());
        return paths;
    }
    std::set<std::thread::id> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    std::set<std::string> threadNames() const {
        std::lock_guard lock(mutex_);
        return threadNames_;
    }
    // The reader thread is stuck in the handler, reading no events.
    bool waitUntilHolding() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [this] { return holding_ > 0; });
    }
    void hold(bool held) {
        std::lock_guard lock(mutex_);
        held_ = held;
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Batch> batches_;
    std::set<std::thread::id> threads_;
    std::set<std::string> threadNames_;
    bool held_ = false;
    int holding_ = 0;
};

FileSystemWatcher::Options fast(std::size_t watchLimit = SIZE_MAX) {
    FileSystemWatcher::Options options;
    options.latency = 20ms;
    options.watchLimit = watchLimit;
    return options;
}

void touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ::close(fd);
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

struct ChangeCase {
    const char* name;
    std::function<void(test::TempTree&)> setup;
    std::function<void(test::TempTree&)> change;
    std::vector<std::string> expected; // relative to the tree
};

class ReportedChange : public FileSystemWatcherTest,
                       public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ReportedChange, NamesEveryChangedItemByItsAbsolutePath) {
    const ChangeCase& c = GetParam();
    c.setup(tree);
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);
    c.change(tree);
    for (const auto& relative : c.expected)
        EXPECT_TRUE(collector.waitForPath(at(relative))) << relative;
    for (const auto& batch : collector.batches())
        EXPECT_TRUE(batch.mustScanSubtrees.empty());
    EXPECT_FALSE(watcher.watchLimitReached());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ReportedChange,
    ::testing::Values(ChangeCase{"CreateDeep",
                                 [](auto& t) { t.dir("a/b/c"); },
                                 [](auto& t) { t.file("a/b/c/new.txt"); },
                                 {"a/b/c/new.txt"}},
                      ChangeCase{"Delete",
                                 [](auto& t) { t.file("a/old"); },
                                 [](auto& t) { t.remove("a/old"); },
                                 {"a/old"}},
                      ChangeCase{"RenameInFolder",
                                 [](auto& t) { t.file("a/x"); },
                                 [](auto& t) { rename(t.path("a/x"), t.path("a/y")); },
                                 {"a/x", "a/y"}},
                      ChangeCase{"MoveAcrossFolders",
                                 [](auto& t) {
                                     t.file("a/x");
                                     t.dir("b");
                                 },
                                 [](auto& t) { rename(t.path("a/x"), t.path("b/x")); },
                                 {"a/x", "b/x"}},
                      ChangeCase{"Rewrite",
                                 [](auto& t) { t.file("f", "1"); },
                                 [](auto& t) { t.file("f", "22"); },
                                 {"f"}},
                      ChangeCase{"Chmod",
                                 [](auto& t) { t.file("f"); },
                                 [](auto& t) { t.chmod("f", 0600); },
                                 {"f"}},
                      ChangeCase{"DeleteFolder",
                                 [](auto& t) { t.file("d/e/f"); },
                                 [](auto& t) { t.remove("d"); },
                                 {"d/e/f", "d/e", "d"}},
                      ChangeCase{"OddNames",
                                 [](auto& t) { t.addTrickyTree(); },
                                 [](auto& t) {
                                     t.file("bad\xFF name");
                                     t.file("보고서/새 파일");
                                     t.file("cafe\xCC\x81/x");
                                 },
                                 {"bad\xFF name", "보고서/새 파일", "cafe\xCC\x81/x"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemWatcherTest, WatchesEveryFolderOfATrickyTreeWithoutFollowingLinks) {
    tree.addTrickyTree();
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);
    std::vector<std::string> added;
    for (const auto& relative : tree.listAll()) {
        struct stat st {};
        ASSERT_EQ(::lstat(at(relative).c_str(), &st), 0);
        if (!S_ISDIR(st.st_mode)) continue;
        added.push_back(at(relative + "/new"));
        touch(added.back());
    }
    EXPECT_GE(added.size(), 15u);
    for (const auto& path : added)
        EXPECT_TRUE(collector.waitForPath(path)) << path;
    // "loop/up" leads back to the root; a watch through it would name paths below it.
    for (const auto& path : collector.allPaths())
        EXPECT_EQ(path.find("/loop/up/"), std::string::npos) << path;
}

TEST_F(FileSystemWatcherTest, HandlerRunsOnItsOwnNamedThread) {
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);
    touch(at("f"));
    ASSERT_TRUE(collector.waitForPath(at("f")));
    EXPECT_EQ(collector.threads().count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(collector.threads().size(), 1u);
    EXPECT_EQ(collector.threadNames(), std::set<std::string>{"app.vesko.Vesko"});
}

TEST_F(FileSystemWatcherTest, FolderMadeWithContentsIsReportedAndWatched) {
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);
    // Made faster than the reader can add watches: the inner creations are never events.
    ASSERT_EQ(::mkdir(at("a").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(at("a/b").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(at("a/b/c").c_str(), 0755), 0);
    touch(at("a/b/c/f"));
    for (const char* relative : {"a", "a/b", "a/b/c", "a/b/c/f"})
        EXPECT_TRUE(collector.waitForPath(at(relative))) << relative;
    touch(at("a/b/c/g"));
    EXPECT_TRUE(collector.waitForPath(at("a/b/c/g")));
}

TEST_F(FileSystemWatcherTest, RenamedFolderKeepsLaterPathsRight) {
    tree.dir("x/y");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);
    rename(at("x"), at("z"));
    ASSERT_TRUE(collector.waitForPath(at("z")));
    EXPECT_TRUE(collector.waitForPath(at("x")));
    touch(at("z/y/new"));
    ASSERT_TRUE(collector.waitForPath(at("z/y/new")));
    EXPECT_EQ(collector.allPaths().count(at("x/y/new")), 0u);
    // Renamed twice, and within its own former parent.
    rename(at("z/y"), at("y2"));
    touch(at("y2/again"));
    EXPECT_TRUE(collector.waitForPath(at("y2/again")));
}

TEST_F(FileSystemWatcherTest, FoldersMovedOutAreForgottenAndMovedInAreWatched) {
    test::TempTree outside;
    tree.dir("m/sub");
    outside.file("in/deep/f");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0);

    rename(at("m"), outside.path("m"));
    ASSERT_TRUE(collector.waitForPath(at("m")));
    touch(outside.path("m/sub/f"));
    rename(outside.path("in"), at("in"));
    for (const char* relative : {"in", "in/deep", "in/deep/f"})
        EXPECT_TRUE(collector.waitForPath(at(relative))) << relative;
    touch(at("in/deep/g"));
    EXPECT_TRUE(collector.waitForPath(at("in/deep/g")));
    // Events of one inotify queue arrive in order: anything from m/sub came before.
    for (const auto& path : collector.allPaths())
        EXPECT_EQ(path.find("/m/sub/f"), std::string::npos) << path;
}

TEST_F(FileSystemWatcherTest, ExcludedFoldersAreNeverWatched) {
    tree.dir("skip/inner");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({tree.root()}, 0, {at("skip"), at("later")});
    touch(at("skip/f"));
    touch(at("skip/inner/f"));
    ASSERT_EQ(::mkdir(at("later").c_str(), 0755), 0);
    touch(at("later/f"));
    touch(at("marker"));
    ASSERT_TRUE(collector.waitForPath(at("marker")));
    const auto paths = collector.allPaths();
    EXPECT_EQ(paths.count(at("later")), 1u); // a change in a watched folder
    for (const auto& path : paths) {
        EXPECT_EQ(path.find("/skip/"), std::string::npos) << path;
        EXPECT_EQ(path.find("/later/"), std::string::npos) << path;
    }
}

TEST_F(FileSystemWatcherTest, StartedSinceAnEarlierRunNamesEveryRootFirst) {
    const std::string one = tree.dir("one"), two = tree.dir("two");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({one, two}, 12345);
    ASSERT_TRUE(collector.waitFor([](const auto& b) { return !b.empty(); }));
    const Batch first = collector.batches().front();
    EXPECT_EQ(first.mustScanSubtrees, (std::vector<std::string>{one, two}));
    EXPECT_TRUE(first.paths.empty());
    EXPECT_GT(first.lastEventID, 12345u);

    // From now on, with since 0: live changes only.
    watcher.start({one, two}, 0);
    touch(one + "/f");
    ASSERT_TRUE(collector.waitForPath(one + "/f"));
    const auto batches = collector.batches();
    for (auto it = batches.begin() + 1; it != batches.end(); ++it)
        EXPECT_TRUE(it->mustScanSubtrees.empty());
}

TEST_F(FileSystemWatcherTest, IdentifiersGrowStrictlyEvenWhenTheClockGoesBack) {
    FileSystemWatcher::Options options = fast();
    options.latency = 0ms;
    std::uint64_t clockValue = 5000; // only read on the watcher's thread
    options.clock = [&clockValue] { return clockValue = clockValue > 100 ? clockValue - 100 : 0; };
    FileSystemWatcher watcher(collector.handler(), options);
    watcher.start({tree.root()}, 10000);
    for (int i = 0; i < 3; ++i) {
        touch(at("f" + std::to_string(i)));
        ASSERT_TRUE(collector.waitForPath(at("f" + std::to_string(i))));
    }
    watcher.stop();
    watcher.start({tree.root()}, 0); // a restart keeps counting upward
    touch(at("after"));
    ASSERT_TRUE(collector.waitForPath(at("after")));
    watcher.stop();

    const auto batches = collector.batches();
    ASSERT_GE(batches.size(), 5u);
    for (std::size_t i = 0; i < batches.size(); ++i)
        EXPECT_EQ(batches[i].lastEventID, 10001u + i);
}

TEST_F(FileSystemWatcherTest, IdentifiersAreMicrosecondsOfTheRealTimeClock) {
    const auto micros = [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    FileSystemWatcher watcher(collector.handler(), fast());
    const auto before = static_cast<std::uint64_t>(micros());
    watcher.start({tree.root()}, 1);
    ASSERT_TRUE(collector.waitFor([](const auto& b) { return !b.empty(); }));
    const auto after = static_cast<std::uint64_t>(micros());
    EXPECT_GE(collector.batches().front().lastEventID, before);
    EXPECT_LE(collector.batches().front().lastEventID, after);
}

TEST_F(FileSystemWatcherTest, WatchLimitSendsUnwatchedFoldersToRescanOnce) {
    for (const char* folder : {"a", "b", "c"})
        tree.dir(folder);
    FileSystemWatcher watcher(collector.handler(), fast(2)); // the root and one folder
    watcher.start({tree.root()}, 0);
    EXPECT_TRUE(watcher.watchLimitReached());
    ASSERT_TRUE(collector.waitFor([](const auto& b) { return !b.empty(); }));
    const auto unwatched = collector.batches().front().mustScanSubtrees;
    ASSERT_EQ(unwatched.size(), 2u);
    const std::set<std::string> all{at("a"), at("b"), at("c")};
    std::set<std::string> watched = all;
    for (const auto& path : unwatched)
        EXPECT_EQ(watched.erase(path), 1u) << path;
    ASSERT_EQ(watched.size(), 1u);

    touch(*watched.begin() + "/f");
    EXPECT_TRUE(collector.waitForPath(*watched.begin() + "/f"));
    ASSERT_EQ(::mkdir(at("d").c_str(), 0755), 0);
    EXPECT_TRUE(collector.waitForSubtree(at("d")));
    EXPECT_TRUE(collector.waitForPath(at("d")));
    // A folder that failed once is not named again.
    ASSERT_EQ(::rmdir(at("d").c_str()), 0);
    ASSERT_EQ(::mkdir(at("d").c_str(), 0755), 0);
    touch(at("marker"));
    ASSERT_TRUE(collector.waitForPath(at("marker")));
    int named = 0;
    for (const auto& batch : collector.batches())
        named += static_cast<int>(
            std::count(batch.mustScanSubtrees.begin(), batch.mustScanSubtrees.end(), at("d")));
    EXPECT_EQ(named, 1);
}

struct RootLoss {
    const char* name;
    std::function<void(const std::string& root)> lose;
};

class LostRoot : public FileSystemWatcherTest, public ::testing::WithParamInterface<RootLoss> {};

TEST_P(LostRoot, IsNamedForRescan) {
    const std::string root = tree.dir("r");
    tree.file("r/inner/f");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({root}, 0);
    GetParam().lose(root);
    EXPECT_TRUE(collector.waitForSubtree(root));
}

INSTANTIATE_TEST_SUITE_P(
    Roots, LostRoot,
    ::testing::Values(
        RootLoss{"Deleted", [](const std::string& root) { std::filesystem::remove_all(root); }},
        RootLoss{"Moved", [](const std::string& root) { rename(root, root + "-moved"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemWatcherTest, LostEventsSendEveryRootToRescan) {
    int queued = 0;
    if (std::ifstream limit("/proc/sys/fs/inotify/max_queued_events"); !(limit >> queued))
        GTEST_SKIP() << "no inotify queue limit to read";
    if (queued > 100000) GTEST_SKIP() << "queue of " << queued << " events takes too long to fill";
    const std::string one = tree.dir("one"), two = tree.dir("two");
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({one, two}, 0);
    collector.hold(true); // the reader blocks in the handler while the kernel queue fills
    touch(one + "/first");
    ASSERT_TRUE(collector.waitUntilHolding());
    // One IN_ATTRIB each; alternating files, as the kernel merges an event equal to the last.
    const std::string a = tree.file("one/a"), b = tree.file("one/b");
    for (int i = 0; i <= queued; ++i)
        ASSERT_EQ(::chmod((i % 2 ? a : b).c_str(), i % 4 < 2 ? 0600 : 0644), 0);
    collector.hold(false);
    EXPECT_TRUE(collector.waitForSubtree(one));
    EXPECT_TRUE(collector.waitForSubtree(two));
    touch(two + "/after");
    EXPECT_TRUE(collector.waitForPath(two + "/after"));
}

TEST_F(FileSystemWatcherTest, StopEndsTheReaderPromptlyAndDeliversNothingMore) {
    FileSystemWatcher::Options options = fast();
    options.latency = 10s; // a batch is held back for that long after the first
    FileSystemWatcher watcher(collector.handler(), options);
    watcher.start({tree.root()}, 0);
    touch(at("first"));
    ASSERT_TRUE(collector.waitForPath(at("first")));
    touch(at("second"));
    const auto began = std::chrono::steady_clock::now();
    watcher.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_EQ(collector.allPaths().count(at("second")), 0u);
    watcher.stop(); // stopping twice does nothing
}

TEST_F(FileSystemWatcherTest, NoRootsStartsNothingAndRelativeRootsAreRefused) {
    FileSystemWatcher watcher(collector.handler(), fast());
    watcher.start({}, 7);
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_THROW(watcher.start({"relative/path"}, 0), std::invalid_argument);
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_TRUE(collector.batches().empty());
}

} // namespace
} // namespace vesko
