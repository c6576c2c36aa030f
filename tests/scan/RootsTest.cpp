// SPDX-License-Identifier: MIT
#include "scan/Roots.h"
#include "scan/IndexBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vesko {
namespace {

using Paths = std::vector<std::string>;

struct NormalizeCase {
    const char* label;
    Paths input;
    Paths expected;
};

class RootsNormalizeTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(RootsNormalizeTest, KeepsOnlyOutermostRootsInOrder) {
    EXPECT_EQ(IndexBuilder::normalize(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RootsNormalizeTest,
    testing::Values(NormalizeCase{"HomeThenInsideThenVolume",
                                  {"/home/me/", "/home/me/Documents", "/mnt/Data"},
                                  {"/home/me", "/mnt/Data"}},
                    NormalizeCase{"InnerThenOuter", {"/a/b", "/a"}, {"/a"}},
                    NormalizeCase{"SlashThenAnything", {"/", "/a"}, {"/"}},
                    NormalizeCase{"AnythingThenSlash", {"/a", "/b", "/"}, {"/"}},
                    NormalizeCase{"SharedPrefixIsNotInside", {"/ab", "/a"}, {"/ab", "/a"}},
                    NormalizeCase{"TrailingSlashesAndDuplicates", {"/a//", "/a", "///", ""}, {"/"}},
                    NormalizeCase{"OuterRemovesSeveralKeepsOthersOrder",
                                  {"/x/1", "/y", "/x/2", "/x"},
                                  {"/y", "/x"}},
                    NormalizeCase{"EmptyInput", {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RootsExcludedTest, SlashRootGivesSingleSlashFoldersPlusFixedAndUserPaths) {
    const auto set = IndexBuilder::excluded({"/", "/mnt/Data"}, {"/home/me/.cache"});
    for (const char* path :
         {"/.Trashes", "/.Spotlight-V100", "/.fseventsd", "/.DocumentRevisions-V100",
          "/.TemporaryItems", "/mnt/Data/.Trashes", "/mnt/Data/.TemporaryItems", "/System/Volumes",
          "/Volumes", "/private/var/vm", "/private/var/db/lockdown", "/proc", "/sys", "/dev",
          "/run", "/home/me/.cache"}) {
        EXPECT_TRUE(set.contains(path)) << path;
    }
    EXPECT_FALSE(set.contains("//.Trashes"));
    EXPECT_EQ(set.size(), IndexBuilder::systemExcludedPaths().size() + 2 * 5 + 1);
}

struct ExclusionCase {
    const char* label;
    Paths input;
    Paths expected;
};

class ExclusionsNormalizeTest : public testing::TestWithParam<ExclusionCase> {};

TEST_P(ExclusionsNormalizeTest, ExpandsFoldsAndSorts) {
    EXPECT_EQ(Exclusions::normalize(GetParam().input, "/home/me"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExclusionsNormalizeTest,
                         testing::Values(ExclusionCase{"LibraryThenSlashThenEmptyThenInside",
                                                       {"~/Library/", "/", "", "~/Library/Caches"},
                                                       {"/home/me/Library"}},
                                         ExclusionCase{"InnerFirstThenOuter",
                                                       {"/b/c/d", "/a", "/b/c", "/b/c/"},
                                                       {"/a", "/b/c"}},
                                         ExclusionCase{"SortedAscending",
                                                       {"/z", "~", "/a b", "/a"},
                                                       {"/a", "/a b", "/home/me", "/z"}},
                                         ExclusionCase{"TildeOnlyAtStart",
                                                       {"/x/~/y", "~x-no-such-user-here/y"},
                                                       {"/x/~/y", "~x-no-such-user-here/y"}},
                                         ExclusionCase{"OnlySlashes", {"//", "/"}, {}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ExclusionsNormalizeTest, HomeWithTrailingSlashOrRootHomeJoinsCleanly) {
    EXPECT_EQ(Exclusions::normalize({"~/a"}, "/home/me/"), Paths{"/home/me/a"});
    EXPECT_EQ(Exclusions::normalize({"~/a"}, "/"), Paths{"/a"});
}

TEST(ExclusionsNormalizeTest, IsIdempotent) {
    const Paths once = Exclusions::normalize({"~/b/", "/a/x", "/a", "~/b/c"}, "/home/me");
    EXPECT_EQ(Exclusions::normalize(once, "/home/me"), once);
}

struct DisplayCase {
    const char* path;
    const char* home;
    const char* expected;
};

class ExclusionsDisplayTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(ExclusionsDisplayTest, ShowsHomeAsTilde) {
    EXPECT_EQ(Exclusions::display(GetParam().path, GetParam().home), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExclusionsDisplayTest,
    testing::Values(DisplayCase{"/home/me", "/home/me", "~"},
                    DisplayCase{"/home/me/Library/Caches", "/home/me", "~/Library/Caches"},
                    DisplayCase{"/home/meg/x", "/home/me", "/home/meg/x"},
                    DisplayCase{"/mnt/Data", "/home/me", "/mnt/Data"},
                    DisplayCase{"/home/me/x", "/home/me/", "~/x"}, DisplayCase{"/x", "/", "/x"},
                    DisplayCase{"/x", "", "/x"}));

TEST(HomeFolderTest, FollowsHomeVariableWithoutTrailingSlash) {
    const char* saved = std::getenv("HOME");
    const std::string original = saved ? saved : "";
    setenv("HOME", "/tmp/vesko-home/", 1);
    EXPECT_EQ(homeFolder(), "/tmp/vesko-home");
    unsetenv("HOME");
    EXPECT_FALSE(homeFolder().empty()); // from the password database
    if (saved) setenv("HOME", original.c_str(), 1);
}

} // namespace
} // namespace vesko
