// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/IndexBuilder.h"

#include "index/ScratchBuffer.h"
#include "support/LivePaths.h"
#include "support/RestoredNames.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vesko {
namespace {

using IndexBuilder::Result;

Result buildOf(const std::vector<std::string>& roots, int workers,
               const std::vector<std::string>& excluded = {}) {
    return IndexBuilder::build(roots, workers, std::make_shared<NameTable>(), excluded);
}

// Entry paths relative to root, as FileIndex rebuilds them, with their flags.
std::map<std::string, EntryFlags> entriesBelow(const Result& result, const std::string& root) {
    std::map<std::string, EntryFlags> entries;
    for (std::int64_t i = 0; i < result.index.count(); ++i) {
        const std::string path = result.index.path(i, *result.names);
        const bool inside = path.starts_with(root + "/");
        entries[inside ? path.substr(root.size() + 1) : "outside: " + path] = result.index.flags(i);
    }
    return entries;
}

// One row per entry with everything the scan recorded, for comparing two builds.
std::multiset<std::string> rows(const Result& result) {
    std::multiset<std::string> all;
    const FileIndex& index = result.index;
    for (std::int64_t i = 0; i < index.count(); ++i) {
        const auto e = static_cast<std::size_t>(i);
        all.insert(index.path(i, *result.names) + "|" + std::to_string(index.entryFlags[e]) + "|" +
                   std::to_string(index.entrySize[e]) + "|" +
                   std::to_string(index.entryModified[e]));
    }
    for (std::uint32_t d = 0; d < index.directoryCount(); ++d)
        all.insert("dir " + index.pathOfDirectory(d, *result.names));
    return all;
}

void expectSound(const Result& result) {
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.index.checkInvariants(), "");
    EXPECT_EQ(result.names->checkInvariants(), "");
    EXPECT_EQ(result.report.entries, result.index.count());
    EXPECT_EQ(result.report.directories, result.index.directoryCount());
    EXPECT_EQ(result.report.uniqueNames, result.names->uniqueCount());
    EXPECT_EQ(result.report.payloadBytes, result.index.payloadBytes() + result.names->nameBytes() +
                                              result.names->displayBytes());
    EXPECT_GE(result.report.syscalls, result.report.directories - result.report.deniedDirectories);
}

// Folders are opened through their parent's descriptor while the builder holds it, by
// their whole path past its limit of held descriptors: every number of workers and either
// way of opening list the same tree as nftw, down to each entry's size and date.
TEST(IndexBuilderTest, EveryWorkerCountAndOpeningAgreeWithNftw) {
    test::TempTree tree;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int f = 0; f < 30; ++f)
                tree.file(std::string("d").append(std::to_string(a)) + "/s" + std::to_string(b) +
                              "/f" + std::to_string(f) + ".txt",
                          std::string(static_cast<std::size_t>(f), 'x'));
    tree.addTrickyTree();
    for (const char* path : {"a/b/c/d/e/f", "a/b/x/y", "a/z", "folder\xFF\xFE/in", "p/q/r"})
        tree.file(std::string(path) + "/leaf"); // only the raw bytes open folder\xFF\xFE
    const Result one = buildOf({tree.root()}, 1);
    expectSound(one);
    EXPECT_GT(one.index.count(), 3000);
    EXPECT_EQ(test::livePaths(one.index, *one.names), test::diskPaths(tree));
    EXPECT_EQ(one.index.rootPaths, (std::map<std::uint32_t, std::string>{{0, tree.root()}}));
    for (const auto& [workers, held] : {std::pair{8, 256}, {2, 0}, {2, 1}, {3, 2}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers holding " + std::to_string(held));
        IndexBuilder::Limits limits;
        limits.heldFolders = held;
        const Result result =
            IndexBuilder::build({tree.root()}, workers, std::make_shared<NameTable>(), {}, limits);
        expectSound(result);
        EXPECT_EQ(result.report.deniedDirectories, 0);
        EXPECT_EQ(rows(result), rows(one));
    }
}

// What a window searches while the first scan runs: every copy handed out is a sound index
// of part of the tree (each id resolves within the copy, each path is one the whole build
// lists), and each holds more than the one before. The one-worker build waits for the
// callback, so a copy is seen while the scan is held mid-tree.
TEST(IndexBuilderTest, PartialIndexesAreSoundGrowingPartsOfTheWhole) {
    test::TempTree tree;
    for (int d = 0; d < 40; ++d)
        for (int f = 0; f < 5; ++f)
            tree.file(std::string("d").append(std::to_string(d)) + "/f" + std::to_string(f));
    tree.addTrickyTree();
    for (const int workers : {1, 3}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        std::vector<std::multiset<std::string>> seen;
        IndexBuilder::Publication publication;
        publication.interval = std::chrono::milliseconds(0);
        publication.publish = [&](IndexBuilder::Partial partial) {
            EXPECT_EQ(partial.index.checkInvariants(), "");
            EXPECT_EQ(partial.names->checkInvariants(), "");
            seen.push_back(test::livePaths(partial.index, *partial.names));
        };
        const Result whole = IndexBuilder::build(
            {tree.root()}, workers, std::make_shared<NameTable>(), {}, {}, &publication);
        expectSound(whole);
        const auto all = test::livePaths(whole.index, *whole.names);
        ASSERT_GE(seen.size(), workers == 1 ? 2u : 1u);
        EXPECT_LT(seen.front().size(), all.size());
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_TRUE(std::includes(all.begin(), all.end(), seen[i].begin(), seen[i].end()));
            if (i > 0) {
                EXPECT_GT(seen[i].size(), seen[i - 1].size());
            }
        }
    }
}

// The "of about N" of a first scan: at least what the tree holds, one file system counted
// once however many roots lie on it, never above the cap, nothing from a missing root.
TEST(IndexBuilderTest, ExpectedEntriesCountEachFileSystemOnce) {
    test::TempTree tree;
    for (int f = 0; f < 50; ++f)
        tree.file("a/f" + std::to_string(f));
    tree.dir("b");
    const Result built = buildOf({tree.root()}, 2);
    const std::int64_t one = IndexBuilder::expectedEntries({tree.path("a")});
    if (one == 0) GTEST_SKIP() << "this file system keeps no inode count";
    EXPECT_GE(one, built.index.count());
    // Other programs create and remove files meanwhile, so only roughly equal.
    EXPECT_LT(IndexBuilder::expectedEntries({tree.path("a"), tree.path("b")}), one + one / 2);
    EXPECT_EQ(IndexBuilder::expectedEntries({tree.path("a")}, 10), 10);
    EXPECT_EQ(IndexBuilder::expectedEntries({tree.path("missing")}), 0);
}

TEST(IndexBuilderTest, EmptyAndMissingRootsKeepTheirDirectory) {
    test::TempTree tree;
    for (const bool exists : {true, false}) {
        const std::string root = exists ? tree.root() : tree.path("missing");
        const Result result = buildOf({root}, 2);
        expectSound(result);
        EXPECT_EQ(result.index.count(), 0) << root;
        EXPECT_EQ(result.index.directoryCount(), 1u) << root;
        EXPECT_EQ(result.report.deniedDirectories, exists ? 0 : 1) << root;
        using Roots = std::vector<IndexBuilder::UnreadableRoot>;
        EXPECT_EQ(result.report.unreadableRoots, exists ? Roots() : Roots({{root, ENOENT}}));
        EXPECT_EQ(result.index.pathOfDirectory(0, *result.names), root);
    }
}

TEST(IndexBuilderTest, ExcludedFoldersAndLinksAreEntriesButNeverListed) {
    test::TempTree tree;
    tree.file("skip/inner.txt");
    tree.file("keep/skip/deeper.txt"); // same name elsewhere: matched by full path only
    tree.file(".Trashes/t");           // a per-root housekeeping folder
    tree.symlink(tree.path("keep"), "folder-link");
    tree.symlink("..", "keep/up");
    tree.symlink("self", "self");
    const Result result = buildOf({tree.root()}, 4, {tree.path("skip")});
    expectSound(result);
    const auto folder = EntryFlags::directory(), link = EntryFlags::symlink();
    EXPECT_EQ(entriesBelow(result, tree.root()),
              (std::map<std::string, EntryFlags>{{"skip", folder},
                                                 {"keep", folder},
                                                 {"keep/skip", folder},
                                                 {"keep/skip/deeper.txt", EntryFlags::none()},
                                                 {"keep/up", link},
                                                 {".Trashes", folder},
                                                 {"folder-link", link},
                                                 {"self", link}}));
    EXPECT_EQ(result.index.directoryCount(), 3u) << "the root, keep and keep/skip";
}

TEST(IndexBuilderTest, RootsGetTheFirstIdsInNormalisedOrder) {
    test::TempTree tree;
    tree.file("b/inner/x");
    tree.file("a/y");
    const std::string a = tree.path("a"), b = tree.path("b");
    for (int round = 0; round < 5; ++round) {
        const Result result = buildOf({b + "/", a, tree.path("b/inner")}, 8);
        expectSound(result);
        const FileIndex& index = result.index;
        EXPECT_EQ(index.rootPaths, (std::map<std::uint32_t, std::string>{{0, b}, {1, a}}));
        ASSERT_EQ(index.directoryCount(), 3u);
        EXPECT_EQ(index.dirParent[0], 0u);
        EXPECT_EQ(index.dirParent[1], 1u);
        EXPECT_EQ(result.names->display(index.dirName[0]), b) << "a root's name is its whole path";
        for (std::int64_t i = 0; i < index.count(); ++i) {
            const std::string path = index.path(i, *result.names);
            const std::uint32_t root = index.rootOf(index.entryDir[static_cast<std::size_t>(i)]);
            EXPECT_EQ(root, path.starts_with(b + "/") ? 0u : 1u) << path;
        }
    }
}

// A restored table whose shards are all full except `spared`: the full ones share one
// lazily zeroed mapping of 2^27 offsets, so they cost address space, not memory.
struct FullTable {
    std::shared_ptr<ScratchBuffer<std::uint32_t>> offsets =
        ScratchBuffer<std::uint32_t>::make(std::int64_t{NameTable::maxNamesPerShard} + 1);
    SharedNameTable names;

    explicit FullTable(int spared) {
        names = test::restoredNames(
            std::vector<std::string>{}, [&](std::size_t s, NameTable::RestoredShard& shard) {
                if (static_cast<int>(s) == spared) return;
                shard.starts =
                    Column<std::uint32_t>(std::span<const std::uint32_t>(offsets->buffer()));
                shard.displayStarts = shard.starts;
            });
    }
};

TEST(IndexBuilderTest, FullNameTableEndsTheBuildWithAnErrorAndNoIndex) {
    test::TempTree tree;
    for (int d = 0; d < 20; ++d)
        for (int f = 0; f < 20; ++f)
            tree.file(std::string("d").append(std::to_string(d)) + "/f" + std::to_string(f));
    const int rootShard = static_cast<int>(NameTable::keyOf(tree.root()) & 31);
    for (const int spared : {rootShard, -1}) { // the workers fail; the root itself fails
        FullTable table(spared);
        ASSERT_TRUE(table.offsets);
        const Result result = IndexBuilder::build({tree.root()}, 4, table.names);
        ASSERT_TRUE(result.error) << "spared shard " << spared;
        EXPECT_NE(result.error->find("full"), std::string::npos) << *result.error;
        EXPECT_EQ(result.index.count(), 0);
        EXPECT_EQ(result.index.directoryCount(), 0u);
        EXPECT_EQ(result.report.entries, 0);
    }
}

TEST(IndexBuilderTest, FolderCountPastTheLimitEndsTheBuildWithAnError) {
    test::TempTree tree;
    for (int d = 0; d < 30; ++d)
        tree.file(std::string("d").append(std::to_string(d)) + "/s/f");
    const std::uint64_t needed = 1 + 30 * 2;
    for (const int workers : {1, 3}) {
        const Result fits =
            IndexBuilder::build({tree.root()}, workers, std::make_shared<NameTable>(), {},
                                IndexBuilder::Limits{needed});
        expectSound(fits);
        EXPECT_EQ(fits.index.directoryCount(), needed);
        const Result over =
            IndexBuilder::build({tree.root()}, workers, std::make_shared<NameTable>(), {},
                                IndexBuilder::Limits{needed - 1});
        ASSERT_TRUE(over.error);
        EXPECT_NE(over.error->find("folders"), std::string::npos) << *over.error;
        EXPECT_EQ(over.index.count(), 0);
        // Cancelled before it starts: every folder listed counted, none after the first each.
        std::atomic<bool> cancel{true};
        std::atomic<std::int64_t> listed{0};
        IndexBuilder::Limits limits;
        limits.cancel = &cancel;
        limits.listedFolders = &listed;
        const Result cancelled =
            IndexBuilder::build({tree.root()}, workers, std::make_shared<NameTable>(), {}, limits);
        EXPECT_EQ(cancelled.error, IndexBuilder::cancelledText);
        EXPECT_EQ(cancelled.index.count(), 0);
        EXPECT_GE(listed, 1);
        EXPECT_LE(listed, workers);
    }
}

} // namespace
} // namespace vesko
