// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SearchIn.h"
#include "support/ProcessRunner.h"
#include "support/ScopedEnv.h"
#include "support/VeskoHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace vesko {
namespace {

// Files named like modes, found by name: after "--" nothing chooses a mode.
TEST(EntryPoint, AfterTheDoubleDashEveryArgumentIsTheQuery) {
    test::VeskoHome runner;
    const std::vector<std::string> modes{"--scan", "--bench", "--drift"};
    for (const std::string& mode : modes)
        runner.home.file("tree/" + mode);
    for (const std::string& mode : modes) {
        const auto found = runner.run({"--find", "--root", runner.home.path("tree"), "--", mode});
        EXPECT_EQ(found.status, 0) << mode << ": " << found.err;
        EXPECT_EQ(found.out, runner.home.path("tree/" + mode) + "\n") << mode;
    }
    EXPECT_FALSE(std::filesystem::exists(runner.home.path("config/vesko/vesko.conf")));
}

// A script's run loads none of the window's libraries (the window's modes starting from it
// are the diagnostic modes' and the shell's tests).
TEST(EntryPoint, TheCommandLineLoadsNoQt) {
    const test::Finished needed =
        test::run({{"/usr/bin/env", "readelf", "-d", VESKO_EXECUTABLE}, {}});
    ASSERT_EQ(needed.status, 0) << needed.err;
    EXPECT_NE(needed.out.find("libicuuc"), std::string::npos) << needed.out;
    EXPECT_EQ(needed.out.find("libQt"), std::string::npos) << needed.out;
}

// A relative folder is the caller's, spelled as the caller's shell spells it (through a link
// the index knows it by), its bytes as given; a folder that cannot be searched is refused
// on the terminal before any window starts (without a display a window would exit with 1).
TEST(EntryPoint, SearchInTakesTheCallersFolderAndRefusesWhatCannotBeSearched) {
    test::VeskoHome runner;
    runner.home.dir("real/bad\xFF/sub");
    runner.home.file("a-file");
    ASSERT_EQ(::symlink(runner.home.path("real").c_str(), runner.home.path("link").c_str()), 0);
    const std::string before = std::filesystem::current_path();
    ASSERT_EQ(::chdir(runner.home.path("link").c_str()), 0);
    {
        test::ScopedEnv pwd("PWD", runner.home.path("link"));
        const auto folder = SearchIn::resolve("./bad\xFF/sub/../");
        EXPECT_EQ(folder.problem, "");
        EXPECT_EQ(folder.path, runner.home.path("link/bad\xFF"));
    }
    ASSERT_EQ(::chdir(before.c_str()), 0);
    const struct {
        std::string dir, says;
    } refused[] = {{runner.home.path("none"), "No such file or directory"},
                   {runner.home.path("a-file"), "Not a directory"}};
    for (const auto& [dir, says] : refused) {
        const auto started = runner.run({"--search-in", dir});
        EXPECT_EQ(started.status, 2) << dir;
        EXPECT_EQ(started.err, "vesko: cannot search in " + dir + ": " + says + "\n");
    }
    EXPECT_EQ(runner.run({"--search-in"}).status, 2);
}

} // namespace
} // namespace vesko
