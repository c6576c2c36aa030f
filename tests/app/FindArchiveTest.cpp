// SPDX-License-Identifier: MIT
// `vesko --find` and its saved index as users meet them from outside: several first runs at
// once, a damaged archive, an archive changed while it is read, and queries of other
// folders next to the home folder's index.
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vesko {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<fs::path> archivesIn(const std::string& folder) {
    std::vector<fs::path> found;
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(folder, ignored))
        if (item.path().extension() == ".veskoindex") found.push_back(item.path());
    return found;
}

struct Outcome {
    int status = 0; // as waitpid gives it
    std::string out, err;
    bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs vesko with its home, caches and preferences in the test's own folder.
class FindArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 300; ++i)
            tree.file("t/" + std::to_string(i) + (i % 5 < 3 ? ".txt" : ".md"));
    }

    pid_t start(const std::vector<std::string>& arguments, const std::string& tag) {
        const std::string out = home.path(tag + ".out"), err = home.path(tag + ".err");
        const pid_t child = ::fork();
        if (child != 0) return child;
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::setenv("HOME", home.path("home").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", home.path("cache").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", home.path("config").c_str(), 1);
        std::vector<std::string> all = {VESKO_EXECUTABLE, "--find"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Outcome finish(pid_t child, const std::string& tag) {
        Outcome run;
        ::waitpid(child, &run.status, 0);
        run.out = readFile(home.path(tag + ".out"));
        run.err = readFile(home.path(tag + ".err"));
        return run;
    }
    Outcome vesko(const std::vector<std::string>& arguments) {
        return finish(start(arguments, "run"), "run");
    }
    std::string cache() const { return home.path("cache/vesko"); }

    test::TempTree tree, home;
};

TEST_F(FindArchiveTest, ConcurrentFirstRunsAllSaveAndLaterRunsAnswerRight) {
    // Large enough that the eight saves overlap.
    for (int i = 0; i < 6000; ++i)
        tree.file("t/many/" + std::to_string(i) + (i % 5 < 3 ? ".txt" : ".md"));
    const std::vector<std::string> count = {"--root", tree.path("t"), "--count", "txt"};
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(cache());
        std::vector<pid_t> runs;
        for (int i = 0; i < 8; ++i)
            runs.push_back(start(count, "first" + std::to_string(i)));
        for (int i = 0; i < 8; ++i) {
            const Outcome run = finish(runs[i], "first" + std::to_string(i));
            EXPECT_TRUE(run.exitedWith(0)) << run.err;
            EXPECT_EQ(run.out, "3780\n");
            EXPECT_EQ(run.err.find("not saved"), std::string::npos) << run.err;
        }
    }
    for (int i = 0; i < 3; ++i) {
        const Outcome later = vesko(count);
        EXPECT_EQ(later.out, "3780\n");
        EXPECT_EQ(later.err, "") << "the saved index was not used";
    }
}

// Whatever byte of the archive is damaged, the answer stays right: the damage is noticed
// and the folder scanned again.
TEST_F(FindArchiveTest, DamagedArchiveNeverChangesTheAnswer) {
    const std::vector<std::string> list = {"--root", tree.path("t"), "--limit", "0", "1"};
    const Outcome first = vesko(list);
    ASSERT_TRUE(first.exitedWith(0)) << first.err;
    const auto archives = archivesIn(cache());
    ASSERT_EQ(archives.size(), 1u);
    const std::string intact = readFile(archives[0]);
    for (std::size_t at = 0; at < intact.size(); at += intact.size() / 23 + 1) {
        std::string damaged = intact;
        damaged[at] ^= 0x20;
        std::ofstream(archives[0], std::ios::binary | std::ios::trunc) << damaged;
        const Outcome run = vesko(list);
        EXPECT_TRUE(run.exitedWith(0)) << "byte " << at << ": " << run.err;
        EXPECT_EQ(run.out, first.out) << "byte " << at;
    }
}

// Another program truncates or rewrites the archive while a search reads it: the search may
// fail, but with a message and status 2, never by a signal.
TEST_F(FindArchiveTest, ArchiveChangedWhileReadNeverKillsTheSearch) {
    for (int i = 0; i < 4000; ++i)
        tree.file("t/more/" + std::to_string(i) + ".txt");
    const std::vector<std::string> list = {"--root", tree.path("t"), "--limit", "0", "t"};
    ASSERT_TRUE(vesko(list).exitedWith(0));
    const auto archives = archivesIn(cache());
    ASSERT_EQ(archives.size(), 1u);
    const std::string archive = archives[0].string(), intact = readFile(archive);
    for (int round = 0; round < 12; ++round) {
        std::ofstream(archive, std::ios::binary | std::ios::trunc) << intact;
        const pid_t child = start(list, "changed");
        ::usleep(static_cast<useconds_t>(500 * (round % 6)));
        if (round % 2 == 0) {
            ::truncate(archive.c_str(), 0);
        } else {
            std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
            file.write(std::string(intact.size(), '\x7F').data(),
                       static_cast<std::streamsize>(intact.size()));
        }
        const Outcome run = finish(child, "changed");
        ASSERT_TRUE(WIFEXITED(run.status))
            << "round " << round << ": killed by signal " << WTERMSIG(run.status);
        EXPECT_TRUE(run.exitedWith(0) || run.exitedWith(2)) << run.err;
    }
}

// Each folder queried gets its own archive; old ones make room, but never the home folder's.
TEST_F(FindArchiveTest, QueriesOfOtherFoldersKeepTheHomeFolderIndex) {
    home.file("home/notes.txt");
    ASSERT_TRUE(vesko({"--count", "notes"}).exitedWith(0));
    const auto homeArchives = archivesIn(cache());
    ASSERT_EQ(homeArchives.size(), 1u);
    for (int i = 0; i < 6; ++i) {
        const std::string folder = tree.dir("other" + std::to_string(i));
        EXPECT_TRUE(vesko({"--root", folder, "--count", "x"}).exitedWith(1));
    }
    EXPECT_TRUE(fs::exists(homeArchives[0]));
    EXPECT_EQ(archivesIn(cache()).size(), 4u);
    const Outcome again = vesko({"--count", "notes"});
    EXPECT_EQ(again.out, "1\n");
    EXPECT_EQ(again.err, "") << "the home folder was scanned again";
}

} // namespace
} // namespace vesko
