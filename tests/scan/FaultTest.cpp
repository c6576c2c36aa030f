// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner's listing of one folder, and the faults a user's machine produces sooner or
// later: folders deeper than PATH_MAX, entries that change between listing and statx,
// folders without read or search permission, and a folder that becomes readable while it
// is watched.
#include "scan/DirectoryScanner.h"
#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"

#include "support/BatchRecorder.h"
#include "support/ChildProcess.h"
#include "support/DeepChain.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using DirectoryScanner::Descriptor;
using DirectoryScanner::Outcome;
using test::DeepChain;

struct Seen {
    EntryFlags flags;
    std::uint64_t size = 0;
    std::uint32_t modified = 0, accessed = 0;
};

struct Listing {
    Outcome outcome = Outcome::failed;
    std::int64_t syscalls = 0;
    std::map<std::string, Seen> entries;
    int deliveries = 0;
};

using OnEntry = std::function<void(const std::string& name)>;

Listing list(const std::string& path, const OnEntry& also = {}) {
    std::vector<std::byte> buffer(DirectoryScanner::bufferSize);
    Listing listing;
    auto onEntry = [&](const char* name, std::size_t length, EntryFlags flags, std::uint64_t size,
                       std::uint32_t modified, std::uint32_t, std::uint32_t accessed) {
        const std::string text(name, length);
        listing.entries[text] = {flags, size, modified, accessed};
        ++listing.deliveries;
        if (also) also(text);
    };
    listing.outcome = DirectoryScanner::scan(path.c_str(), buffer, listing.syscalls, onEntry);
    return listing;
}

TEST(DirectoryScannerTest, ListsDirectChildrenWithTypesSizesAndDatesAndClosesTheFolder) {
    test::TempTree tree;
    tree.addTrickyTree();
    const Listing listing = list(tree.root());
    ASSERT_EQ(listing.outcome, Outcome::completed);
    EXPECT_FALSE(listing.entries.contains(".") || listing.entries.contains(".."));
    EXPECT_EQ(listing.deliveries, static_cast<int>(listing.entries.size())) << "each once";
    const Seen& file = listing.entries.at("plain.txt");
    EXPECT_EQ(file.flags, EntryFlags::none());
    EXPECT_EQ(file.size, 5u);
    EXPECT_NE(file.modified, 0u);
    EXPECT_EQ(listing.entries.at("loop").flags, EntryFlags::directory());
    EXPECT_EQ(listing.entries.at("loop").size, 0u) << "folders report no size";
    const Seen& link = listing.entries.at("link-to-plain");
    EXPECT_EQ(link.flags, EntryFlags::symlink()) << "the link itself, not its target";
    EXPECT_EQ(link.size, std::string("plain.txt").size());
    EXPECT_TRUE(listing.entries.contains("bad\xFF\xFEname.bin")) << "raw name bytes are delivered";

    for (const std::string relative : {"missing", "plain.txt", "loop/up"}) {
        const Listing refused = list(tree.path(relative));
        EXPECT_EQ(refused.outcome, Outcome::failed) << relative;
        EXPECT_EQ(refused.deliveries, 0) << relative;
        EXPECT_EQ(refused.syscalls, 0) << relative;
    }

    // Seconds are clamped to unsigned 32 bits.
    const std::pair<std::int64_t, std::uint32_t> seconds[] = {{-100, 0},
                                                              {1'000'000'000, 1'000'000'000},
                                                              {4'294'967'295, 0xFFFFFFFFu},
                                                              {5'000'000'000, 0xFFFFFFFFu}};
    for (const auto& [written, stored] : seconds) {
        tree.file("f");
        tree.setModified("f", written);
        struct stat st {};
        ASSERT_EQ(::lstat(tree.path("f").c_str(), &st), 0);
        if (st.st_mtim.tv_sec != written) continue; // the file system cannot store it
        const Seen seen = list(tree.root()).entries.at("f");
        EXPECT_EQ(seen.modified, stored) << written;
        EXPECT_EQ(seen.accessed, stored) << written;
    }

    // A callback that throws still leaves the directory closed.
    std::vector<std::byte> buffer(DirectoryScanner::bufferSize);
    std::int64_t syscalls = 0;
    const auto openDescriptors = [] {
        const fs::directory_iterator fds("/proc/self/fd");
        return std::distance(fs::begin(fds), fs::end(fds));
    };
    const auto before = openDescriptors();
    auto throwing = [](const char*, std::size_t, EntryFlags, std::uint64_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) { throw std::runtime_error("stop"); };
    EXPECT_THROW(DirectoryScanner::scan(tree.root().c_str(), buffer, syscalls, throwing),
                 std::runtime_error);
    EXPECT_EQ(openDescriptors(), before);
}

using test::cannotSetUpChild;
using test::runInChild;
using test::runUnprivileged;

// Makes openat2 fail with ENOSYS in this process, as on a kernel older than 5.6.
bool withoutOpenat2() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Removing a folder costs milliseconds on a disk mounted with `discard`, so a tree of
// thousands of folders goes to memory (/dev/shm) when it can.
std::unique_ptr<test::TempTree> treeInMemory() {
    test::ScopedEnv env;
    if (::access("/dev/shm", W_OK | X_OK) == 0) env.set("TMPDIR", "/dev/shm");
    return std::make_unique<test::TempTree>();
}

TEST(FaultTest, FolderFourThousandLevelsDeepIsIndexedToTheBottom) {
    const auto tree = treeInMemory();
    constexpr int depth = 4096;
    DeepChain chain(tree->root(), "deep", depth);
    ASSERT_GT(chain.path().size(), std::size_t{PATH_MAX} * 4);
    chain.file("bottom.txt");

    const auto built = IndexBuilder::build({tree->root()}, 2, std::make_shared<NameTable>());
    ASSERT_FALSE(built.error) << *built.error;
    EXPECT_EQ(built.report.deniedDirectories, 0) << "levels past PATH_MAX were not opened";
    EXPECT_EQ(built.report.entries, depth + 1);
    EXPECT_EQ(built.report.directories, depth + 1);
    std::int64_t bottom = -1;
    for (std::int64_t i = 0; i < built.index.count(); ++i)
        if (built.names->displayBytes(built.index.entryName[static_cast<std::size_t>(i)]) ==
            "bottom.txt")
            bottom = i;
    ASSERT_GE(bottom, 0);
    EXPECT_EQ(built.index.path(bottom, *built.names), chain.path() + "/bottom.txt");
    EXPECT_EQ(built.index.pathOfDirectory(built.index.entryDir[static_cast<std::size_t>(bottom)],
                                          *built.names),
              chain.path());
}

// 20 levels of 250-byte names: about 5 KB of path, its first piece ending at level 16.
class LongPath : public ::testing::Test {
protected:
    static constexpr int depth = 20;
    const std::string name = std::string(250, 'x');
    test::TempTree tree;
};

// With openat2, or without it as on kernels before 5.6.
class LongPathTest : public LongPath, public ::testing::WithParamInterface<bool> {};

TEST_P(LongPathTest, OpensPiecewiseFollowingLinksOnlyInTheFirstPiece) {
    DeepChain chain(tree.root(), name, depth);
    chain.file("leaf");
    ASSERT_GT(chain.path().size(), std::size_t{PATH_MAX});
    // A root reached through a link, as /home may be: the link lies in the first piece.
    const std::string alias = tree.symlink(tree.root(), "alias");
    const std::string throughAlias = alias + chain.path().substr(tree.root().size());
    // Level 18, beyond the first piece, moved away and replaced by a link to where it went.
    std::string replaced = tree.root();
    for (int level = 0; level < 18; ++level)
        replaced += "/" + name;
    const std::string moved = tree.path("moved"), rest = chain.path().substr(replaced.size());
    const Descriptor parent = chain.open(17), top(::open(tree.root().c_str(), O_PATH));
    const int code = runInChild([&] {
        if (GetParam() && !withoutOpenat2()) return cannotSetUpChild;
        const Listing direct = list(chain.path()), aliased = list(throughAlias);
        int failures = 0;
        if (direct.outcome != Outcome::completed || !direct.entries.contains("leaf")) failures |= 1;
        if (aliased.outcome != Outcome::completed || !aliased.entries.contains("leaf"))
            failures |= 2;
        if (::renameat(parent.get(), name.c_str(), top.get(), "moved") != 0 ||
            ::symlinkat(moved.c_str(), parent.get(), name.c_str()) != 0)
            return 64;
        if (list(chain.path()).outcome != Outcome::failed) failures |= 4;
        if (!list(moved + rest).entries.contains("leaf")) failures |= 8;
        ::unlinkat(parent.get(), name.c_str(), 0);
        ::renameat(top.get(), "moved", parent.get(), name.c_str());
        return failures;
    });
    if (code == cannotSetUpChild) GTEST_SKIP() << "cannot install a seccomp filter to hide openat2";
    EXPECT_EQ(code, 0) << "bits: 1 long path, 2 through a root link, 4 link beyond the first "
                          "piece followed, 8 target of that link";
}

INSTANTIATE_TEST_SUITE_P(Kernels, LongPathTest, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "WithoutOpenat2" : "WithOpenat2";
                         });

using Paths = test::BatchRecorder;

TEST_F(LongPath, WatcherReportsChangesBeyondPathMax) {
    DeepChain chain(tree.root(), name, depth);
    Paths paths;
    FileSystemWatcher watcher(paths.handler(), test::fastWatcher());
    watcher.start({tree.root()}, 0);
    chain.file("new.txt");
    EXPECT_TRUE(paths.waitForPath(chain.path() + "/new.txt"));
    // A folder made down there gets its own watch.
    ASSERT_EQ(::mkdirat(chain.bottom(), "made", 0755), 0);
    ASSERT_TRUE(paths.waitForPath(chain.path() + "/made"));
    chain.file("made/inner.txt");
    EXPECT_TRUE(paths.waitForPath(chain.path() + "/made/inner.txt"));
    EXPECT_TRUE(paths.seen().rescans.empty());
    EXPECT_FALSE(watcher.watchLimitReached());
}

// What happens to every entry of a listing, but the first delivered, between getdents64
// and its statx: the first delivery changes them all, as another process could.
TEST(DirectoryScannerTest, EntryChangedAfterListingIsSkippedOrDescribedAsItIsNow) {
    const struct {
        const char* name;
        std::function<void(const std::string& path)> change;
        bool delivered;
        EntryFlags flags;
        std::uint64_t size;
    } cases[] = {
        {"vanished", [](const std::string& p) { fs::remove(p); }, false, {}, 0},
        {"became a folder", [](const std::string& p) { fs::remove(p), fs::create_directory(p); },
         true, EntryFlags::directory(), 0},
        {"became a link to the root",
         [](const std::string& p) { fs::remove(p), fs::create_symlink("/", p); }, true,
         EntryFlags::symlink(), 1},
    };
    constexpr int count = 100; // one getdents64 buffer
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempTree tree;
        for (int i = 0; i < count; ++i)
            tree.file("item" + std::to_string(i), "12345");
        std::string first;
        const Listing listing = list(tree.root(), [&](const std::string& name) {
            if (!first.empty()) return;
            first = name;
            for (int i = 0; i < count; ++i)
                if (const std::string other = "item" + std::to_string(i); other != first)
                    c.change(tree.path(other));
        });
        ASSERT_EQ(listing.outcome, Outcome::completed);
        EXPECT_EQ(listing.syscalls, 2) << "the race must fall inside one batch";
        EXPECT_EQ(listing.entries.size(), c.delivered ? std::size_t{count} : 1u);
        for (const auto& [name, seen] : listing.entries) {
            if (name == first) continue;
            EXPECT_EQ(seen.flags, c.flags) << name;
            EXPECT_EQ(seen.size, c.size) << name;
        }
    }
}

// A folder `locked` holding a file and a sub-folder with a file: read without search
// permission lists its names, search without read (as no permission at all) nothing.
TEST(FaultTest, ALockedFolderIsCountedNeverFatalAndKeepsWhatCanBeListed) {
    const std::pair<unsigned, std::set<std::string>> cases[] = {
        {0444, {"open.txt", "locked", "locked/a.txt", "locked/sub"}},
        {0111, {"open.txt", "locked"}}};
    for (const auto& [mode, expected] : cases) {
        test::TempTree tree;
        tree.file("open.txt");
        tree.file("locked/a.txt", "12345");
        tree.file("locked/sub/b.txt");
        tree.chmod("", 0755);
        tree.chmod("locked", mode);
        const int code = runUnprivileged([&] {
            const auto built = IndexBuilder::build({tree.root()}, 2, std::make_shared<NameTable>());
            if (built.error) return 1;
            std::set<std::string> paths;
            for (std::int64_t i = 0; i < built.index.count(); ++i) {
                paths.insert(built.index.path(i, *built.names).substr(tree.root().size() + 1));
                // What statx could not describe carries no size.
                if (built.index.size(i) != 0) return 2;
            }
            if (paths != expected) return 3;
            return built.report.deniedDirectories == 1 ? 0 : 4;
        });
        if (code == cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
        EXPECT_EQ(code, 0) << "mode " << std::oct << mode
                           << ": 1 build error, 2 a size without statx, 3 paths, 4 denied count";
    }
}

TEST(FaultTest, FolderUnreadableAtStartIsWatchedOnceItOpens) {
    constexpr uid_t nobody = 65534;
    test::TempTree tree;
    tree.file("locked/inside.txt");
    tree.chmod("", 0755);
    ASSERT_EQ(::chown(tree.path("locked").c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chown(tree.path("locked/inside.txt").c_str(), nobody, nobody), 0);
    const int code = runUnprivileged([&] {
        if (::chmod(tree.path("locked").c_str(), 0) != 0) return 1;
        Paths paths;
        FileSystemWatcher watcher(paths.handler(), test::fastWatcher());
        watcher.start({tree.root()}, 0);
        if (::chmod(tree.path("locked").c_str(), 0755) != 0) return 1;
        if (!paths.waitForPath(tree.path("locked"))) return 2;
        // Its contents were never indexed; now that they can be, they are reported.
        if (!paths.waitForPath(tree.path("locked/inside.txt"))) return 3;
        const std::string later = tree.path("locked/later.txt");
        const Descriptor fd(::open(later.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        return paths.waitForPath(later) ? 0 : 4;
    });
    if (code == cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0) << "2 mode change, 3 contents, 4 a file made after it opened";
}

} // namespace
} // namespace vesko
