// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileDetail.h"

#include "scan/DirectoryScanner.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vesko {
namespace {

class FileDetailTest : public testing::Test {
protected:
    void SetUp() override {
        tree.file("data/applications/editor.desktop",
                  "[Desktop Entry]\nName=Editor\nName[ko]=편집기\n");
        tree.file("data/applications/viewer.desktop",
                  "[Desktop Entry]\nType=Application\nName=Viewer\n");
        tree.file("data/applications/mimeinfo.cache", "[MIME Cache]\nimage/png=viewer.desktop;\n");
        // The desktop's own list wins; an id without a desktop file is passed over.
        tree.file("config/test-mimeapps.list",
                  "[Default Applications]\ntext/plain=gone.desktop;editor.desktop;\n");
        tree.file("config/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n");
        tree.symlink("/usr/share/mime", "share/mime");
    }

    test::TempTree tree;
    test::ScopedEnv config{"XDG_CONFIG_HOME", tree.path("config")};
    test::ScopedEnv data{"XDG_DATA_HOME", tree.path("data")};
    // The machine's own applications (vim claims text/x-csrc once installed) stay out; its
    // MIME database is linked in.
    test::ScopedEnv systemData{"XDG_DATA_DIRS", tree.path("share")};
    test::ScopedEnv system{"XDG_CONFIG_DIRS", tree.path("etc")};
    test::ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "Test:Other"};
};

TEST_F(FileDetailTest, DefaultApplicationFollowsTheDesktopsListsAndParentTypes) {
    EXPECT_EQ(defaultApplicationName("text/plain"), "Editor");
    EXPECT_EQ(defaultApplicationName("image/png"), "Viewer");
    // C source is a kind of plain text.
    EXPECT_EQ(defaultApplicationName("text/x-csrc"), "Editor");
    EXPECT_EQ(defaultApplicationName("application/x-nothing-opens-this"), std::nullopt);
}

TEST_F(FileDetailTest, FilesFoldersAndVanishedItems) {
    const FileDetail file = FileDetail::read(tree.file("notes.txt", "12345"));
    EXPECT_TRUE(file.exists);
    EXPECT_EQ(file.opensWith, "Editor");
    EXPECT_EQ(file.size, 5U);
    EXPECT_TRUE(file.kind && file.modified > 0);
    EXPECT_FALSE(file.iconName.isEmpty());

    const FileDetail folder = FileDetail::read(tree.dir("folder"));
    EXPECT_TRUE(folder.exists);
    EXPECT_FALSE(folder.opensWith);
    EXPECT_FALSE(folder.size);
    EXPECT_TRUE(folder.kind);

    // A link is not followed: its own size, as the index and the list have it, and a kind
    // that says where it leads.
    const FileDetail link = FileDetail::read(tree.symlink("notes.txt", "link"));
    EXPECT_EQ(link.link, (LinkTarget{LinkTarget::Kind::typed, *file.kind}));
    EXPECT_EQ(link.size, 9U);
    EXPECT_EQ(link.opensWith, "Editor");
    EXPECT_EQ(FileDetail::read(tree.symlink("folder", "to folder")).link,
              (LinkTarget{LinkTarget::Kind::folder, {}}));
    const FileDetail dangling = FileDetail::read(tree.symlink("gone", "dangling"));
    EXPECT_TRUE(dangling.exists);
    EXPECT_EQ(dangling.link, (LinkTarget{LinkTarget::Kind::missing, {}}));
    EXPECT_EQ(dangling.size, 4U);
}

// The type is read from the file's first bytes on one task queue while the updater lists
// folders on another; the descriptor numbers they get are shared. The second thread waits
// on a relaxed flag, which orders nothing for the thread checker, as two queues would.
TEST_F(FileDetailTest, TheFileReadForItsTypeIsClosedBeforeItsNumberIsReused) {
    const std::string notes = tree.file("notes.txt", "12345");
    const std::string folder = tree.dir("folder");
    std::atomic<bool> read{false};
    std::thread reader([&] {
        EXPECT_TRUE(FileDetail::read(notes).kind);
        read.store(true, std::memory_order_relaxed);
    });
    std::thread lister([&] {
        while (!read.load(std::memory_order_relaxed))
            std::this_thread::yield();
        EXPECT_TRUE(DirectoryScanner::openDirectory(folder.c_str()));
    });
    reader.join();
    lister.join();
}

} // namespace
} // namespace vesko
