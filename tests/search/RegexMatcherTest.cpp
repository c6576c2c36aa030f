// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/RegexMatcher.h"

#include "search/NameRules.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <tuple>

#include <algorithm>
#include <random>

namespace vesko {
namespace {

const std::string decomposedCafe = "Cafe\xCC\x81.txt"; // e + combining acute, as some disks hold it

// Regular-expression queries end to end: the rule a search builds from the typed pattern,
// run over a table of display names; the answer is the matching display names, sorted.
TEST(RegexRule, MatchesNamesAsTyped) {
    const std::vector<std::string> shown = {
        "abcz", "A-Z",    "abc",        "Ab",       "_x",       "-x",          "x y",
        "xy",   "README", "Straße.txt", "ΟΔΟΣ.txt", "café.txt", decomposedCafe};
    NameTable table;
    for (const auto& name : shown)
        table.intern(name);
    struct Case {
        const char* pattern;
        bool matchCase;
        std::vector<std::string> expected;
        bool matchDiacritics = false;
    };
    const Case cases[] = {
        {"^a.*z$", false, {"A-Z", "abcz"}},
        // Escapes and class names keep their meaning; they are not lowercased.
        {"^x\\S", false, {"xy"}},
        // Keeping case matches the names as shown: capitals are capitals.
        {"^A.*Z$", true, {"A-Z"}},
        {"[[:upper:]]", true, {"A-Z", "Ab", "README", "Straße.txt", decomposedCafe, "ΟΔΟΣ.txt"}},
        {"^[[:lower:]]+$", true, {"abc", "abcz", "xy"}},
        // ...in NFC, so a decomposed name on disk meets a composed pattern.
        {"^Café", true, {decomposedCafe}},
        {"^caf(é|e)", false, {decomposedCafe, "café.txt"}},
        // Ignoring case is full case folding, on both sides.
        {"strasse", false, {"Straße.txt"}},
        // Ignoring case ignores diacritics too, unless they must match; keeping case keeps them.
        {"^cafe\\.", false, {decomposedCafe, "café.txt"}},
        {"^CAF[ÉX]\\.", false, {decomposedCafe, "café.txt"}},
        {"^cafe\\.", false, {}, true},
        {"^CAF[ÉX]\\.", false, {decomposedCafe, "café.txt"}, true},
        {"^Cafe\\.", true, {}},
    };
    for (const auto& c : cases) {
        const auto choice =
            Search::chooseRule(c.pattern, false, true, c.matchCase, true, c.matchDiacritics);
        ASSERT_TRUE(choice.rule) << c.pattern << ": " << choice.regexProblem.value_or("");
        EXPECT_FALSE(choice.narrowable);
        EXPECT_TRUE(choice.highlightTerms.empty());
        std::vector<std::string> found;
        for (const std::uint32_t id : Search::matchingNames(*choice.rule, table, nullptr))
            found.push_back(table.display(id));
        std::sort(found.begin(), found.end());
        auto expected = c.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected) << c.pattern << (c.matchCase ? " (case)" : "");
    }
}

TEST(RegexRule, InvalidPatternReportsTheProblemAndMatchesNothing) {
    for (const char* pattern : {"[", "a(", "*{2"}) {
        RegexMatcher matcher(pattern, false);
        EXPECT_FALSE(matcher.isValid()) << pattern;
        ASSERT_TRUE(matcher.problem()) << pattern;
        EXPECT_FALSE(matcher.problem()->empty()) << pattern;
        EXPECT_FALSE(matcher.matches(reinterpret_cast<const std::uint8_t*>("a"), 1));
    }
    const auto choice = Search::chooseRule("[", false, true, false);
    EXPECT_FALSE(choice.rule);
    ASSERT_TRUE(choice.regexProblem);
    EXPECT_EQ(*choice.regexProblem, *RegexMatcher("[", false).problem());
}

// The literal is only a shortcut: over random names every pattern must answer exactly as
// regexec alone does.
TEST(RegexMatcherLiteral, NeverChangesTheAnswer) {
    const char* patterns[] = {"^index.*\\.swift$",
                              "[[:digit:]]{4}-",
                              "colou?r",
                              "ab*c",
                              "(draft)?notes",
                              "x{2,3}yz",
                              "a+bc",
                              "^a.*z$",
                              "\\.md$",
                              "re(po)+rt",
                              "[^a]b\\.c",
                              "s.i",
                              "k{0}ey",
                              "ab{0,1}c",
                              "^$"};
    const std::string alphabet = "abcdeiknorstuwxyz.-_0123456789 ";
    std::mt19937_64 random(test::testSeed("RegexMatcherLiteral.NeverChangesTheAnswer"));
    std::vector<std::string> names;
    for (int i = 0; i < 4000; ++i) {
        std::string name;
        const int length = static_cast<int>(random() % 14);
        for (int j = 0; j < length; ++j)
            name += alphabet[random() % alphabet.size()];
        names.push_back(name);
    }
    for (const std::string fixed :
         {"index.swift", "index-main.swift", "2023-report", "color", "colour", "ac", "abbbc",
          "draftnotes", "xxyz", "aabc", "reporeport", "xb.c"})
        names.push_back(fixed);

    for (const char* pattern : patterns) {
        for (bool caseSensitive : {true, false}) {
            RegexMatcher matcher(pattern, caseSensitive);
            ASSERT_TRUE(matcher.isValid()) << pattern;
            regex_t plain;
            ASSERT_EQ(regcomp(&plain, pattern,
                              REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE)),
                      0);
            for (const auto& name : names) {
                const bool expected = regexec(&plain, name.c_str(), 0, nullptr, 0) == 0;
                ASSERT_EQ(matcher.matches(reinterpret_cast<const std::uint8_t*>(name.data()),
                                          name.size()),
                          expected)
                    << pattern << " on " << name;
            }
            regfree(&plain);
        }
    }
}

// Patterns the fuzzer found to break the matcher; each kind of fault is one table.
TEST(RegexMatcherRegression, RefusesPatternsThatWouldExhaustRegcomp) {
    struct Case {
        std::string pattern;
        bool accepted;
    };
    const Case cases[] = {
        // glibc's regcomp copies a repeated group once per repetition: 64 stacked `+` made
        // it allocate until the process ran out of memory.
        {"(ab)" + std::string(64, '+') + "[\xB3=](ab)\\.a\\.],b\\\x9E{2,}elvin", false},
        // A stray continuation byte as the repeated atom, once counted as nothing.
        {"\xA6" + std::string(33, '+') + "\xA0{1,23}:]{1,(ab)\xA6\xA6\xC4\\1\xB0*", false},
        // Stacked repeats, whose meaning POSIX leaves open, took seconds in the closure pass.
        {"bele\\be+be+az\\eaz\\ba*7???***.****************/******************]************"
         "****7??*q)z\\eaz\\b:::",
         false},
        {":+?", false},
        {"a**", false},
        {"a{2}*", false},
        {"(a+)?", true},
        {"[+*]+", true},
        {"\\++", true},
        // The size estimate refuses only what explodes.
        {"^report[0-9]{4}\\.pdf$", true},
        {"(foo|bar)+baz", true},
        {"\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C{300}", true},
        {"a{1000}", true},
        {"a{1001}", false},
        {"(a{40}){40}", false},
        {"((((((((((((ab)+)+)+)+)+)+)+)+)+)+)+)+", false},
        {"a{99999999999999999999999}", false},
    };
    for (const auto& c : cases) {
        const RegexMatcher matcher(c.pattern, false);
        EXPECT_EQ(matcher.isValid(), c.accepted)
            << c.pattern << " estimated at " << RegexMatcher::expandedSize(c.pattern);
        EXPECT_EQ(matcher.problem().has_value(), !c.accepted) << c.pattern;
        if (!c.accepted) {
            EXPECT_FALSE(matcher.matches(reinterpret_cast<const std::uint8_t*>("abab"), 4));
        }
    }
    EXPECT_NE(RegexMatcher("a{1001}", false).problem()->find("too large"), std::string::npos);
}

// Names a match once slipped past: the literal prefilter took \' (glibc: the end of the name)
// for an apostrophe and ':' in ':+?' as required text; names longer than the stack buffer;
// and names read as UTF-8 whatever the process's locale, so any letter is one word character.
TEST(RegexMatcherRegression, AnswersAsTheNameReads) {
    const std::string longName = std::string(300, 'a') + "x";
    const std::tuple<const char*, std::string_view, bool> cases[] = {
        {"\\'", "report.txt", true},
        {"txt\\'", "report.txt", true},
        {"\\`rep", "report.txt", true},
        {"\\<txt\\>", "report.txt", true},
        {"(:+)?", "report.txt", true},
        {"x(:+)*", "x.txt", true},
        {"x$", longName, true},
        {"x$", std::string_view(longName).substr(0, 300), false},
        {"^\\W", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82.txt", false},
        {"^\\w+\\.txt$", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82.txt", true},
        {"^.$", "\xC3\xA9", true},
        {"^[[:alpha:]]+$", "\xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C", true},
    };
    for (const auto& [pattern, name, expected] : cases) {
        const RegexMatcher matcher(pattern, false);
        ASSERT_TRUE(matcher.isValid()) << pattern;
        EXPECT_EQ(matcher.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()),
                  expected)
            << pattern << " on " << name.size() << " bytes, required " << matcher.requiredLiteral();
    }
}

} // namespace
} // namespace vesko
