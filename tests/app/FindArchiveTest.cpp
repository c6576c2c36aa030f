// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko --find` and its saved index as users meet them from outside: several first runs at
// once, a damaged archive, an archive changed while it is read, and queries of other
// folders next to the home folder's index.
#include "support/VeskoHome.h"

#include "support/TempTree.h"

#include "index/IndexArchive.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using test::readFile;

// Runs `vesko --find` with its caches and preferences in a private folder, and its home
// folder (the default root) apart from them.
class FindArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        runner.userHome = home.path("home");
        for (int i = 0; i < 300; ++i)
            tree.file("t/" + std::to_string(i) + (i % 5 < 3 ? ".txt" : ".md"));
    }

    test::Launch launch(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "--find");
        return runner.launch(std::move(arguments));
    }
    test::Finished vesko(std::vector<std::string> arguments) const {
        return test::run(launch(std::move(arguments)));
    }

    test::VeskoHome runner;
    test::TempTree& home = runner.home;
    test::TempTree tree;
};

TEST_F(FindArchiveTest, ConcurrentFirstRunsAllSaveAndLaterRunsAnswerRight) {
    // Large enough that the eight saves overlap.
    for (int i = 0; i < 6000; ++i)
        tree.file("t/many/" + std::to_string(i) + (i % 5 < 3 ? ".txt" : ".md"));
    const std::vector<std::string> count = {"--root", tree.path("t"), "--count", "txt"};
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(home.path("cache/vesko"));
        std::vector<std::unique_ptr<test::ChildProcess>> runs;
        for (int i = 0; i < 8; ++i)
            runs.push_back(std::make_unique<test::ChildProcess>(launch(count)));
        for (auto& child : runs) {
            const test::Finished run = child->wait();
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.out, "3780\n");
            EXPECT_EQ(run.err.find("not saved"), std::string::npos) << run.err;
        }
    }
    for (int i = 0; i < 3; ++i) {
        const test::Finished later = vesko(count);
        EXPECT_EQ(later.out, "3780\n");
        EXPECT_EQ(later.err, "") << "the saved index was not used";
    }
}

// Whatever byte of the archive is damaged, the answer stays right: the damage is noticed
// and the folder scanned again.
TEST_F(FindArchiveTest, DamagedArchiveNeverChangesTheAnswer) {
    const std::vector<std::string> list = {"--root", tree.path("t"), "--limit", "0", "1"};
    const test::Finished first = vesko(list);
    ASSERT_EQ(first.status, 0) << first.err;
    const auto archives = runner.archives();
    ASSERT_EQ(archives.size(), 1u);
    const std::string intact = readFile(archives[0]);
    for (std::size_t at = 0; at < intact.size(); at += intact.size() / 23 + 1) {
        std::string damaged = intact;
        damaged[at] ^= 0x20;
        std::ofstream(archives[0], std::ios::binary | std::ios::trunc) << damaged;
        const test::Finished run = vesko(list);
        EXPECT_EQ(run.status, 0) << "byte " << at << ": " << run.err;
        EXPECT_EQ(run.out, first.out) << "byte " << at;
    }
}

// Nothing keeps another folder's index current: it answers as saved for a day, then the
// folder is read again.
TEST_F(FindArchiveTest, AnotherFoldersIndexIsReadAgainOnceADay) {
    const std::vector<std::string> count = {"--root", tree.path("t"), "--count", "txt"};
    ASSERT_EQ(vesko(count).out, "180\n");
    tree.file("t/new.txt");
    const auto archives = runner.archives();
    ASSERT_EQ(archives.size(), 1u);
    const std::vector<std::string> roots = {fs::canonical(tree.path("t")).string()};
    auto saved = IndexArchive::load(roots, archives[0]);
    ASSERT_TRUE(saved);
    const double twoDaysAgo = static_cast<double>(std::time(nullptr)) - 2 * 86400;
    ASSERT_FALSE(IndexArchive::save(saved->index, *saved->names, 0, twoDaysAgo, archives[0]));
    saved.reset();
    const test::Finished old = vesko(count);
    EXPECT_EQ(old.out, "181\n");
    EXPECT_NE(old.err.find("is 2 days old; scanning"), std::string::npos) << old.err;
    EXPECT_EQ(vesko(count).err, "");
}

// Another program truncates or rewrites the archive while a search reads it: the search may
// fail, but with a message and status 2, never by a signal.
TEST_F(FindArchiveTest, ArchiveChangedWhileReadNeverKillsTheSearch) {
    for (int i = 0; i < 4000; ++i)
        tree.file("t/more/" + std::to_string(i) + ".txt");
    const std::vector<std::string> list = {"--root", tree.path("t"), "--limit", "0", "t"};
    ASSERT_EQ(vesko(list).status, 0);
    const auto archives = runner.archives();
    ASSERT_EQ(archives.size(), 1u);
    const std::string archive = archives[0], intact = readFile(archive);
    for (int round = 0; round < 12; ++round) {
        std::ofstream(archive, std::ios::binary | std::ios::trunc) << intact;
        test::ChildProcess child(launch(list));
        ::usleep(static_cast<useconds_t>(500 * (round % 6)));
        if (round % 2 == 0) {
            ::truncate(archive.c_str(), 0);
        } else {
            std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
            file.write(std::string(intact.size(), '\x7F').data(),
                       static_cast<std::streamsize>(intact.size()));
        }
        const test::Finished run = child.wait();
        ASSERT_EQ(run.signal, 0) << "round " << round << ": killed by a signal";
        EXPECT_TRUE(run.status == 0 || run.status == 2)
            << "round " << round << " status " << run.status << ": " << run.err;
    }
}

// Each folder queried gets its own archive; old ones make room, but never the home folder's.
TEST_F(FindArchiveTest, QueriesOfOtherFoldersKeepTheHomeFolderIndex) {
    home.file("home/notes.txt");
    ASSERT_EQ(vesko({"--count", "notes"}).status, 0);
    const auto homeArchives = runner.archives();
    ASSERT_EQ(homeArchives.size(), 1u);
    for (int i = 0; i < 6; ++i) {
        const std::string folder = tree.dir("other" + std::to_string(i));
        EXPECT_EQ(vesko({"--root", folder, "--count", "x"}).status, 1);
    }
    EXPECT_TRUE(fs::exists(homeArchives[0]));
    EXPECT_EQ(runner.archives().size(), 4u);
    const test::Finished again = vesko({"--count", "notes"});
    EXPECT_EQ(again.out, "1\n");
    EXPECT_EQ(again.err, "") << "the home folder was scanned again";
}

} // namespace
} // namespace vesko
