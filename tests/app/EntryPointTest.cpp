// SPDX-License-Identifier: MIT
#include "app/EntryPoint.h"
#include "app/DevOptions.h"

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

TEST(DevOptions, SelectParsesSignedDecimalsOnly) {
    EXPECT_EQ(DevOptions::parseSelect("+3"), 3);
    EXPECT_EQ(DevOptions::parseSelect("-0"), 0);
    EXPECT_EQ(DevOptions::parseSelect("-42"), -42);
    EXPECT_EQ(DevOptions::parseSelect("9223372036854775807"), INT64_MAX);
    for (const char* bad : {"3x", "", "+", "-", " 3", "12345678901234567890", "0x10", "+-1"})
        EXPECT_EQ(DevOptions::parseSelect(bad), std::nullopt) << bad;
}

} // namespace
} // namespace vesko
