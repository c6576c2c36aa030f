// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/Roots.h"
#include "scan/IndexBuilder.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

using Paths = std::vector<std::string>;

TEST(RootsTest, NormalizeKeepsOnlyOutermostRootsInOrder) {
    const std::pair<Paths, Paths> cases[] = {
        {{"/home/me/", "/home/me/Documents", "/mnt/Data"}, {"/home/me", "/mnt/Data"}},
        {{"/", "/a"}, {"/"}},
        {{"/ab", "/a"}, {"/ab", "/a"}}, // a shared prefix is not inside
        {{"/a//", "/a", "///", ""}, {"/"}},
        {{"/x/1", "/y", "/x/2", "/x"}, {"/y", "/x"}},
        {{}, {}},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(IndexBuilder::normalize(input), expected) << testing::PrintToString(input);
}

TEST(RootsExcludedTest, SlashRootGivesSingleSlashFoldersPlusFixedAndUserPaths) {
    const auto set = IndexBuilder::excluded({"/", "/mnt/Data"}, {"/home/me/.cache"});
    // Per-root housekeeping folders under each root, the fixed system paths, the user's.
    for (const char* path : {"/.Trashes", "/mnt/Data/.Trashes", "/mnt/Data/.TemporaryItems",
                             "/proc", "/home/me/.cache"}) {
        EXPECT_TRUE(set.contains(path)) << path;
    }
    EXPECT_FALSE(set.contains("//.Trashes"));
    EXPECT_EQ(set.size(), IndexBuilder::systemExcludedPaths().size() + 2 * 5 + 1);
}

TEST(ExclusionsTest, NormalizeExpandsFoldsAndSorts) {
    const struct {
        Paths input;
        const char* home;
        Paths expected;
    } cases[] = {
        {{"~/Library/", "/", "", "~/Library/Caches"}, "/home/me", {"/home/me/Library"}},
        {{"/b/c/d", "/a", "/b/c", "/b/c/"}, "/home/me", {"/a", "/b/c"}},
        {{"/x/~/y", "~x-no-such-user-here/y"}, "/home/me", {"/x/~/y", "~x-no-such-user-here/y"}},
        {{"//", "/"}, "/home/me", {}},
        {{"~/a"}, "/home/me/", {"/home/me/a"}},
        {{"~/a"}, "/", {"/a"}},
    };
    for (const auto& c : cases) {
        const Paths once = Exclusions::normalize(c.input, c.home);
        EXPECT_EQ(once, c.expected) << testing::PrintToString(c.input);
        EXPECT_EQ(Exclusions::normalize(once, c.home), once); // idempotent
    }
}

TEST(HomeFolderTest, FollowsHomeVariableWithoutTrailingSlash) {
    test::ScopedEnv env("HOME", "/tmp/vesko-home/");
    EXPECT_EQ(homeFolder(), "/tmp/vesko-home");
    env.set("HOME", std::nullopt);
    EXPECT_FALSE(homeFolder().empty()); // from the password database
}

} // namespace
} // namespace vesko
