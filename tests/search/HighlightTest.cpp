// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Highlight.h"

#include <gtest/gtest.h>

namespace vesko::Highlight {
namespace {

using Ranges = std::vector<Range>;

} // namespace

void PrintTo(const Range& r, std::ostream* os) {
    *os << "[" << r.start << ", " << r.end << ")";
}

namespace {

struct HighlightCase {
    std::vector<std::string> terms;
    std::string text;
    Ranges expected; // UTF-8 byte offsets
};

TEST(HighlightTest, RangesOverUtf8) {
    const std::string nfdE = "e\xCC\x81";                              // e + combining acute
    const std::string nfdHan = "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB"; // 한 as jamo
    const HighlightCase cases[] = {
        {{"ab", "bc"}, "abc", {{0, 3}}},
        {{"a"}, "banana", {{1, 2}, {3, 4}, {5, 6}}},
        {{"ab", "cd"}, "abcd", {{0, 4}}},
        {{"", "b"}, "abc", {{1, 2}}},
        {{"aa"}, "aaaa", {{0, 4}}},
        // Non-ASCII, precomposed text: byte offsets of whole characters.
        {{"\xC3\xA9t\xC3\xA9"}, "L'\xC3\x89T\xC3\x89", {{2, 7}}},
        // Decomposed display name, composed term.
        {{"caf\xC3\xA9"}, ("CAFE\xCC\x81 menu"), {{0, 6}}},
        // A bare "e" marks the whole of a decomposed "é", as it matches it.
        {{"e"}, "caf" + nfdE, {{3, 6}}},
        // Korean: the composed syllable marks the jamo run; a partial syllable marks nothing.
        {{"\xED\x95\x9C"}, "a" + nfdHan, {{1, 10}}},
        {{"\xED\x95\x98"}, nfdHan, {}},
        // Full case folding, where lengths differ: ß and SS are the same text, and folded
        // terms (as queries arrive) mark the displayed characters they came from.
        {{"stra\xC3\x9F"
          "e"},
         "STRASSE.txt",
         {{0, 7}}},
        {{"strasse", "txt"},
         "Stra\xC3\x9F"
         "e.txt",
         {{0, 7}, {8, 11}}},
        {{"\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x83"}, "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.txt", {{0, 8}}},
        {{"\xCF\x83"}, "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82", {{6, 8}}}, // final sigma
        // Invalid UTF-8 counts as one character per bad byte and does not stop the search.
        {{"ok"},
         "\xFF"
         "ok\xFE",
         {{1, 3}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ranges(c.terms, std::string_view(c.text)), c.expected) << c.text;
}

// Matching ignores diacritics unless told otherwise, and a hit covers the characters of the
// name as written, accents included, in either normalisation form.
TEST(HighlightTest, DiacriticsAreIgnoredUnlessTheyMustMatch) {
    const std::string nfc = "R\xC3\xA9sum\xC3\xA9.txt";
    const std::string nfd = "Re\xCC\x81sume\xCC\x81.txt";
    const std::u16string nfd16 = u"Re\u0301sume\u0301.txt";
    const struct {
        std::vector<std::string> terms;
        bool matchDiacritics;
        Ranges inNfc, inNfd, inNfd16;
    } cases[] = {
        {{"resume"}, false, {{0, 8}}, {{0, 10}}, {{0, 8}}},
        {{"e"}, false, {{1, 3}, {6, 8}}, {{1, 4}, {7, 10}}, {{1, 3}, {6, 8}}},
        {{"resume"}, true, {}, {}, {}},
        {{"r\xC3\xA9sum\xC3\xA9"}, true, {{0, 8}}, {{0, 10}}, {{0, 8}}},
        {{"\xC3\xA9"}, true, {{1, 3}, {6, 8}}, {{1, 4}, {7, 10}}, {{1, 3}, {6, 8}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terms.front() + (c.matchDiacritics ? " matching diacritics" : ""));
        EXPECT_EQ(ranges(c.terms, std::string_view(nfc), true, c.matchDiacritics), c.inNfc);
        EXPECT_EQ(ranges(c.terms, std::string_view(nfd), true, c.matchDiacritics), c.inNfd);
        EXPECT_EQ(ranges(c.terms, std::u16string_view(nfd16), true, c.matchDiacritics), c.inNfd16);
    }
    // The kana voiced sound mark is part of its letter: ガ and カ stay apart.
    const std::string ga = "\xE3\x82\xAC", ka = "\xE3\x82\xAB";
    EXPECT_EQ(ranges({ka}, std::string_view(ga)), Ranges{});
    EXPECT_EQ(ranges({ga}, std::string_view(ka + "\xE3\x82\x99")), (Ranges{{0, 6}}));
}

} // namespace
} // namespace vesko::Highlight
