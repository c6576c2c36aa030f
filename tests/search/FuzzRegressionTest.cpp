// SPDX-License-Identifier: MIT
// Inputs found by the fuzz targets (fuzz/), kept as tests of what they broke.
#include "search/RegexMatcher.h"

#include <gtest/gtest.h>

#include <string>

namespace vesko {
namespace {

// fuzz_regex: glibc's regcomp copies a repeated group once per repetition, and this
// pattern's 64 stacked `+` made it allocate until the process ran out of memory.
TEST(RegexMatcherFuzzRegression, StackedRepeatsAreRefusedBeforeRegcomp) {
    const std::string pattern =
        "(ab)" + std::string(64, '+') + "[\xB3=](ab)\\.a\\.],b\\\x9E{2,}elvin";
    const RegexMatcher matcher(pattern, false);
    EXPECT_FALSE(matcher.isValid());
    ASSERT_TRUE(matcher.problem());
    EXPECT_NE(matcher.problem()->find("too large"), std::string::npos);
    EXPECT_FALSE(matcher.matches(reinterpret_cast<const std::uint8_t*>("abab"), 4));

    // The same with a stray UTF-8 continuation byte as the repeated atom, which the
    // estimate first took for the tail of a character and counted as nothing.
    const std::string stray =
        "\xA6" + std::string(33, '+') + "\xA0{1,23}:]{1,(ab)\xA6\xA6\xC4\\1\xB0*";
    EXPECT_FALSE(RegexMatcher(stray, false).isValid());
}

struct MatchCase {
    const char* pattern;
    const char* name;
};

class RegexPrefilter : public ::testing::TestWithParam<MatchCase> {};

// fuzz_regex: the literal prefilter required text that a match need not contain, so names
// that regexec matches were rejected before it was asked. It read \' (glibc: the end of
// the name) as an apostrophe.
TEST_P(RegexPrefilter, NeverRejectsAMatch) {
    const RegexMatcher matcher(GetParam().pattern, false);
    ASSERT_TRUE(matcher.isValid());
    const std::string name = GetParam().name;
    EXPECT_TRUE(matcher.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
        << GetParam().pattern << " required " << matcher.requiredLiteral();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegexPrefilter,
    ::testing::Values(MatchCase{"\\'", "report.txt"}, MatchCase{"txt\\'", "report.txt"},
                      MatchCase{"\\`rep", "report.txt"}, MatchCase{"\\<txt\\>", "report.txt"},
                      MatchCase{"(:+)?", "report.txt"}, MatchCase{"x(:+)*", "x.txt"}));

struct StackCase {
    const char* pattern;
    bool accepted;
};

class RegexStackedRepeats : public ::testing::TestWithParam<StackCase> {};

// fuzz_regex: stacked repeats, whose meaning POSIX leaves undefined, made glibc's regcomp
// spend seconds in its closure pass (2.9 s natively for a 187-byte pattern that began as
// the first case does), and the prefilter took ':' in ':+?' as required, not as (:+)?.
TEST_P(RegexStackedRepeats, AreRefusedWithAProblem) {
    const RegexMatcher matcher(GetParam().pattern, false);
    EXPECT_EQ(matcher.isValid(), GetParam().accepted) << GetParam().pattern;
    EXPECT_EQ(matcher.problem().has_value(), !GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegexStackedRepeats,
    ::testing::Values(StackCase{"bele\\be+be+az\\eaz\\ba*7???***.****************/"
                                "******************]****************7??*q)z\\eaz\\b:::",
                                false},
                      StackCase{":+?", false}, StackCase{"a**", false}, StackCase{"a{2}*", false},
                      StackCase{"(a+)?", true}, StackCase{"[+*]+", true}, StackCase{"\\++", true},
                      StackCase{"a{2}b?c*", true}));

struct SizeCase {
    const char* pattern;
    bool accepted;
};

class RegexExpandedSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RegexExpandedSize, RefusesOnlyPatternsThatExplode) {
    const RegexMatcher matcher(GetParam().pattern, false);
    EXPECT_EQ(matcher.isValid(), GetParam().accepted)
        << GetParam().pattern << " estimated at " << RegexMatcher::expandedSize(GetParam().pattern);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegexExpandedSize,
    ::testing::Values(SizeCase{"^report[0-9]{4}\\.pdf$", true}, SizeCase{"(foo|bar)+baz", true},
                      SizeCase{"[[:alpha:]]{2,}", true},
                      SizeCase{"\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C{300}", true},
                      SizeCase{"a{1000}", true}, SizeCase{"a{1001}", false},
                      SizeCase{"(a{40}){40}", false}, SizeCase{"((a{99}){99}){99}", false},
                      SizeCase{"((((((((((((ab)+)+)+)+)+)+)+)+)+)+)+)+", false},
                      SizeCase{"a{99999999999999999999999}", false}));

} // namespace
} // namespace vesko
