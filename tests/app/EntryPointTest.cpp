// SPDX-License-Identifier: MIT
#include "support/ProcessRunner.h"
#include "support/VeskoHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

// A script's run loads none of the window's libraries, and the window's modes still start.
TEST(EntryPoint, TheCommandLineLoadsNoQtAndHandsTheRestToTheWindowsExecutable) {
    const test::Finished needed =
        test::run({{"/usr/bin/env", "readelf", "-d", VESKO_EXECUTABLE}, {}});
    ASSERT_EQ(needed.status, 0) << needed.err;
    EXPECT_NE(needed.out.find("libicuuc"), std::string::npos) << needed.out;
    EXPECT_EQ(needed.out.find("libQt"), std::string::npos) << needed.out;
    test::VeskoHome runner;
    const auto drift = runner.run({"--drift"});
    EXPECT_EQ(drift.status, 0) << drift.err;
    EXPECT_NE(drift.out.find("로그인 항목 상태"), std::string::npos) << drift.out;
}

} // namespace
} // namespace vesko
