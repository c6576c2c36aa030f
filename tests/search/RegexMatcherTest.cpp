// SPDX-License-Identifier: MIT
#include "search/RegexMatcher.h"

#include <gtest/gtest.h>

#include <random>

namespace vesko {
namespace {

TEST(RegexMatcherLiteral, OnlyTextEveryMatchMustContain) {
    struct Case {
        const char* pattern;
        bool caseSensitive;
        const char* literal;
    };
    const Case cases[] = {
        {"^index.*\\.swift$", true, ".swift"},
        {"^index.*\\.swift$", false, "ndex"}, // i and s have non-ASCII case partners
        {"[[:digit:]]{4}-", false, "-"},
        {"report|summary", false, ""},
        {"colou?r", true, "colo"},
        {"ab*c", true, "a"},
        {"(draft)?notes", true, "notes"},
        {"x{2,3}yz", true, "yz"},
        {"a+bc", true, "bc"},
        {"\\d\\w+", true, ""},
        {"[a-z]+\\]x", true, "]x"},
        {"\\(", true, "("},
        {"보고서", true, ""},
        {"DOC", false, "doc"},
        {"[", true, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegexMatcher::requiredLiteral(c.pattern, c.caseSensitive), c.literal)
            << c.pattern;
    }
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
    std::mt19937 random(7);
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

} // namespace
} // namespace vesko
