// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/IndexUpdater.h"

#include "index/IndexCompactor.h"
#include "index/Unicode.h"
#include "scan/IndexBuilder.h"
#include "support/LivePaths.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace vesko {
namespace {

using Report = IndexUpdater::Report;

using test::diskPaths;
using test::livePaths;

class IndexUpdaterTest : public ::testing::Test {
protected:
    void build(const std::vector<std::string>& excluded = {}) {
        auto result =
            IndexBuilder::build({tree.root()}, 2, std::make_shared<NameTable>(), excluded);
        ASSERT_FALSE(result.error);
        names = result.names;
        navigator->build(result.index);
        updater = std::make_unique<IndexUpdater>(result.index, names, navigator, excluded);
    }

    Report apply(const std::vector<std::string>& relative,
                 const std::vector<std::string>& subtrees = {}) {
        FileSystemWatcher::Batch batch;
        for (const auto& r : relative)
            batch.paths.push_back(tree.path(r));
        batch.mustScanSubtrees = subtrees;
        return updater->apply(batch);
    }

    const FileIndex& index() const { return updater->index(); }

    // The live entry with that path, or -1.
    std::int64_t liveEntryAt(const std::string& relative) const {
        const std::string wanted = Unicode::repairUtf8(tree.path(relative));
        for (std::int64_t e = 0; e < index().count(); ++e)
            if (!index().flags(e).contains(EntryFlags::deleted()) &&
                index().path(e, *names) == wanted)
                return e;
        return -1;
    }

    void expectMatchesDisk() const {
        EXPECT_EQ(livePaths(index(), *names), diskPaths(tree));
        EXPECT_EQ(index().checkInvariants(), "");
    }

    test::TempTree tree;
    SharedNameTable names;
    SharedIndexNavigator navigator = std::make_shared<IndexNavigator>();
    std::unique_ptr<IndexUpdater> updater;
};

// A file changed, or deleted and made again before the batch, keeps its entry: size and
// times refreshed, its created date and flags kept. One flagged deleted is never revived.
TEST_F(IndexUpdaterTest, ChangedOrRecreatedFilesKeepTheirEntryButAFlaggedOneIsNeverRevived) {
    tree.file("a/doc.txt", "short");
    tree.file("a/keep.txt");
    tree.file("a/gone.txt");
    build();
    const auto entry = liveEntryAt("a/doc.txt");
    const auto created = index().entryCreated[entry];
    const auto flags = index().flags(entry);
    const auto keep = liveEntryAt("a/keep.txt");
    const auto gone = liveEntryAt("a/gone.txt");
    const std::string longer = "a good deal longer than before";
    tree.file("a/doc.txt", longer);
    tree.setModified("a/doc.txt", 1'600'000'000);
    tree.remove("a/keep.txt");
    tree.file("a/keep.txt", "again");
    tree.remove("a/gone.txt");
    EXPECT_EQ(apply({"a/doc.txt", "a/keep.txt", "a/keep.txt", "a/gone.txt"}), (Report{0, 1, 1, 0}));
    EXPECT_EQ(liveEntryAt("a/doc.txt"), entry);
    EXPECT_EQ(index().size(entry), longer.size());
    EXPECT_EQ(index().entryModified[entry], 1'600'000'000u);
    EXPECT_EQ(index().entryAccessed[entry], 1'600'000'000u);
    EXPECT_EQ(index().entryCreated[entry], created);
    EXPECT_EQ(index().flags(entry), flags);
    EXPECT_EQ(liveEntryAt("a/keep.txt"), keep);

    tree.file("a/gone.txt", "back");
    EXPECT_EQ(apply({"a/gone.txt"}), (Report{1, 0, 1, 0}));
    EXPECT_TRUE(index().flags(gone).contains(EntryFlags::deleted()));
    EXPECT_GT(liveEntryAt("a/gone.txt"), gone);
    expectMatchesDisk();
}

TEST_F(IndexUpdaterTest, DeletingAFolderFlagsItsWholeKnownSubtreeOnce) {
    tree.file("top/d/1");
    tree.file("top/d/2");
    tree.file("top/d/sub/3");
    tree.file("top/d/sub/deeper/4");
    tree.file("top/other");
    build();
    tree.remove("top/d/sub/deeper/4");
    EXPECT_EQ(apply({"top/d/sub/deeper/4"}).removed, 1);
    tree.remove("top/d");
    // d, 1, 2, sub, 3, deeper; 4 was flagged already.
    EXPECT_EQ(apply({"top/d"}), (Report{0, 6, 1, 0}));
    EXPECT_EQ(apply({"top/d"}), (Report{0, 0, 1, 0}));
    expectMatchesDisk();
}

// Compaction renumbers everything: the result must list what a fresh scan lists, keep an
// excluded folder unlisted, and take further updates like a fresh index.
TEST_F(IndexUpdaterTest, ACompactedIndexHoldsWhatAFreshScanHoldsAndKeepsUpdating) {
    tree.file("top/d/1");
    tree.file("top/d/sub/3");
    tree.file("top/other");
    tree.file("skip/inner");
    build({tree.path("skip")});
    tree.remove("top/d");
    apply({"top/d"});
    tree.file("top/d/again"); // a new folder under the old one's name
    apply({"top/d"});
    ASSERT_GT(IndexCompactor::deletedCount(index()), 0);

    const auto compacted = IndexCompactor::compact(index(), *names);
    const auto fresh =
        IndexBuilder::build({tree.root()}, 1, std::make_shared<NameTable>(), {tree.path("skip")});
    EXPECT_EQ(livePaths(compacted.index, *compacted.names), livePaths(fresh.index, *fresh.names));
    EXPECT_EQ(compacted.index.count(), fresh.index.count());
    EXPECT_EQ(compacted.index.directoryCount(), fresh.index.directoryCount());
    EXPECT_EQ(compacted.names->uniqueCount(), fresh.names->uniqueCount());
    EXPECT_EQ(compacted.index.checkInvariants(), "");

    names = compacted.names;
    navigator = std::make_shared<IndexNavigator>();
    updater = std::make_unique<IndexUpdater>(compacted.index, names, navigator,
                                             std::vector<std::string>{tree.path("skip")});
    tree.file("top/d/sub2/later");
    tree.remove("top/other");
    apply({"top/d/sub2", "top/other"});
    const auto later =
        IndexBuilder::build({tree.root()}, 1, std::make_shared<NameTable>(), {tree.path("skip")});
    EXPECT_EQ(livePaths(index(), *names), livePaths(later.index, *later.names));
}

TEST_F(IndexUpdaterTest, ExcludedFoldersAndUnknownPaths) {
    tree.file("skip/inner/x");
    tree.file("kept/y");
    build({tree.path("skip")});
    tree.file("skip/inner/z");
    tree.file("skip/w");
    // The folder of skip/inner/z is not indexed; skip itself is passed over without a count.
    EXPECT_EQ(apply({"skip/inner/z", "skip/w"}), (Report{0, 0, 0, 1}));
    EXPECT_EQ(apply({}, {"/nowhere/at/all"}), (Report{0, 0, 0, 1}));
    EXPECT_EQ(apply({}, {tree.path("kept/never")}), (Report{0, 0, 0, 1}));
    FileSystemWatcher::Batch relative;
    relative.paths = {"relative/path"};
    EXPECT_EQ(updater->apply(relative), (Report{0, 0, 0, 1}));
    // The excluded folder is an entry that is never listed.
    EXPECT_GE(liveEntryAt("skip"), 0);
    EXPECT_EQ(liveEntryAt("skip/inner"), -1);
}

TEST_F(IndexUpdaterTest, ManyEventsForOneFolderReadItOnce) {
    for (int i = 0; i < 40; ++i)
        tree.file("busy/f" + std::to_string(i));
    build();
    std::vector<std::string> events;
    for (int i = 0; i < 40; ++i) {
        tree.file("busy/f" + std::to_string(i), "changed");
        events.push_back("busy/f" + std::to_string(i));
        events.push_back("busy/f" + std::to_string(i));
    }
    EXPECT_EQ(apply(events), (Report{0, 0, 1, 0}));
    EXPECT_EQ(apply({"busy"}, {tree.path("busy"), tree.path("busy/")}).directoriesScanned, 2);
}

// A folder whose event was read but which is gone, a file or unreadable (as another user:
// root reads any folder) by the time it is read.
TEST_F(IndexUpdaterTest, FolderGoneBeforeReadIsCountedAndLeftAsItWas) {
    for (const char* folder : {"removed", "file", "unreadable"})
        tree.file(std::string(folder) + "/d/x");
    build();
    tree.remove("removed/d");
    tree.remove("file/d");
    tree.file("file/d", "now a file");
    tree.chmod("unreadable/d", 0);
    for (const std::string folder : {"removed", "file", "unreadable"}) {
        if (folder == "unreadable" && geteuid() == 0) continue;
        const auto x = liveEntryAt(folder + "/d/x");
        // Only the changed child is named, so the folder itself is compared and cannot be read.
        EXPECT_EQ(apply({folder + "/d/x"}), (Report{0, 0, 1, 0})) << folder;
        EXPECT_EQ(liveEntryAt(folder + "/d/x"), x) << folder;
        EXPECT_EQ(apply({}, {tree.path(folder + "/d")}).directoriesScanned, 1) << folder;
    }
}

TEST_F(IndexUpdaterTest, BuildsAnUnbuiltNavigatorAndTheNameIndex) {
    tree.file("a/x");
    build();
    navigator->release();
    names->releaseIndex();
    tree.file("a/x2");
    tree.file("a/y/x"); // "x" is known: interned again it would be a second copy
    const auto unique = names->uniqueCount();
    EXPECT_EQ(apply({"a/x2", "a/y"}).added, 3);
    EXPECT_TRUE(navigator->isReady());
    EXPECT_EQ(names->uniqueCount(), unique + 2); // x2 and y
    expectMatchesDisk();
}

} // namespace
} // namespace vesko
