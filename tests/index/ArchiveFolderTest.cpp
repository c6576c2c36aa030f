// SPDX-License-Identifier: GPL-3.0-or-later
// The cache folder: its modes, its tag, what the sweep removes and what it must leave, and
// which archives are kept when there are more sets of roots than room.
#include "index/ArchiveFolder.h"

#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace vesko {
namespace {

namespace fs = std::filesystem;

class ArchiveFolderTest : public ::testing::Test {
protected:
    unsigned modeOf(const std::string& path) const {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
    }

    test::TempTree tree;
    test::ScopedEnv env{"XDG_CACHE_HOME", tree.path("cache")};
};

// Preparing the folder tags it, closes it again when left open to everyone, and sweeps away
// only what no writer holds and no set of roots owns.
TEST_F(ArchiveFolderTest, PrepareTagsTightensAndSweepsTheFolder) {
    const std::string folder = tree.path("cache/vesko");
    EXPECT_EQ(ArchiveFolder::prepare(), folder);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(test::readFile(folder + "/CACHEDIR.TAG")
                  .rfind("Signature: 8a477f597d28d172789f06886806bc55\n#", 0),
              0u);

    const std::string setArchive = ArchiveFolder::pathFor(folder, {"/home/u"});
    const std::vector<std::string> swept = {"index.veskoindex.1234.tmp", "a.tmp", "files.fileindex",
                                            "index", "index.veskoindex"};
    const std::vector<std::string> kept = {"notes.txt", "INDEX", "index.bak", "Index.TMP",
                                           setArchive.substr(folder.size() + 1)};
    for (const auto& name : swept)
        tree.file("cache/vesko/" + name);
    for (const auto& name : kept)
        tree.file("cache/vesko/" + name);
    // A save in progress in another process holds its temporary file locked.
    const auto live = ArchiveFolder::createTemporary(setArchive);
    ASSERT_TRUE(live.temporary);
    // A folder left open to everyone is the user's own, so it is closed again.
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ArchiveFolder::prepare();
    EXPECT_EQ(modeOf(folder), 0700u);
    for (const auto& name : swept)
        EXPECT_FALSE(fs::exists(folder + "/" + name)) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    EXPECT_TRUE(fs::exists(live.temporary->path));

    // Without an absolute XDG_CACHE_HOME the folder is ~/.cache/vesko, however HOME ends.
    env.set("XDG_CACHE_HOME", "relative/cache");
    env.set("HOME", tree.path("home") + "//");
    EXPECT_EQ(ArchiveFolder::prepare(), tree.path("home/.cache/vesko"));
    EXPECT_TRUE(fs::exists(tree.path("home/.cache/vesko/CACHEDIR.TAG")));
}

TEST_F(ArchiveFolderTest, EachSetOfRootsHasItsOwnArchive) {
    const std::string folder = "/f";
    const auto home = ArchiveFolder::pathFor(folder, {"/home/u"});
    EXPECT_EQ(home, ArchiveFolder::pathFor(folder, {"/home/u"}));
    EXPECT_NE(home, ArchiveFolder::pathFor(folder, {"/home/u", "/mnt"}));
    EXPECT_NE(ArchiveFolder::pathFor(folder, {"/a", "/b"}),
              ArchiveFolder::pathFor(folder, {"/b", "/a"}));
    EXPECT_NE(ArchiveFolder::pathFor(folder, {"/a/b"}),
              ArchiveFolder::pathFor(folder, {"/a", "b"}));
    EXPECT_EQ(home.rfind("/f/index-", 0), 0u);
    EXPECT_TRUE(home.ends_with(".veskoindex"));
}

// Six sets of roots were used in turn; the oldest is the window's and must stay.
TEST_F(ArchiveFolderTest, KeepsTheMostRecentlyUsedAndTheProtected) {
    const std::string folder = ArchiveFolder::prepare();
    std::vector<std::string> archives;
    for (int i = 0; i < 6; ++i) {
        archives.push_back(ArchiveFolder::pathFor(folder, {"/root" + std::to_string(i)}));
        std::ofstream(archives.back()) << "x";
        const timespec times[2] = {{1000 + i, 0}, {0, UTIME_OMIT}};
        ASSERT_EQ(::utimensat(AT_FDCWD, archives.back().c_str(), times, 0), 0);
    }
    ArchiveFolder::keepRecent(folder, {archives[0]});
    const std::vector<bool> expected = {true, false, false, true, true, true};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(fs::exists(archives[i]), expected[i]) << i;

    // Marking an archive as used moves it to the front.
    const int fd = ::open(archives[3].c_str(), O_RDONLY);
    ArchiveFolder::markUsed(fd);
    ::close(fd);
    std::ofstream(ArchiveFolder::pathFor(folder, {"/new"})) << "x";
    ArchiveFolder::keepRecent(folder, {archives[0]});
    EXPECT_TRUE(fs::exists(archives[3]));
    EXPECT_FALSE(fs::exists(archives[4]));
}

} // namespace
} // namespace vesko
