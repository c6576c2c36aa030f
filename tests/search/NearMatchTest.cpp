// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/NearMatch.h"

#include "search/NameRules.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vesko::Search {
namespace {

// The textbook measure, one table cell per pair of characters: the oracle of the walk.
bool withinOneEdit(std::u32string_view text, std::u32string_view pattern) {
    const std::size_t m = pattern.size();
    std::vector<int> older(m + 1), before(m + 1), now(m + 1);
    for (std::size_t i = 0; i <= m; ++i)
        before[i] = static_cast<int>(i);
    if (before[m] <= 1) return true;
    for (std::size_t j = 1; j <= text.size(); ++j) {
        now[0] = 0; // a stretch may start anywhere
        for (std::size_t i = 1; i <= m; ++i) {
            int best = std::min({before[i - 1] + (pattern[i - 1] == text[j - 1] ? 0 : 1),
                                 before[i] + 1, now[i - 1] + 1});
            if (i > 1 && j > 1 && pattern[i - 1] == text[j - 2] && pattern[i - 2] == text[j - 1])
                best = std::min(best, older[i - 2] + 1);
            now[i] = best;
        }
        if (now[m] <= 1) return true;
        std::swap(older, before);
        std::swap(before, now);
    }
    return false;
}

std::vector<std::string> nearOf(const std::vector<std::string>& given, std::string_view needle) {
    NameTable names;
    for (const auto& name : given)
        names.intern(name);
    std::vector<std::string> out;
    for (const std::uint32_t id : nearNames(normalize(needle), names))
        out.emplace_back(names.foldedBytes(id));
    std::sort(out.begin(), out.end());
    return out;
}

TEST(NearMatch, OneTypingErrorOfAnyKindAndNoMore) {
    struct Case {
        std::u32string text, pattern;
        bool near;
    };
    // Each kind of error alone is the random test's; a syllable is one character.
    const Case cases[] = {
        {U"report", U"rpeotr", false}, // two swaps
        {U"보고서.hwp", U"보고사", true},
        {U"보고서.hwp", U"부고사", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OneEditMatcher(c.pattern).foundIn(c.text), c.near) << &c - cases;
}

TEST(NearMatch, NamesOneErrorAwayButNotThoseThatHoldTheNeedle) {
    const std::vector<std::string> names = {
        "Annual-Report.pdf", "reprot-draft.txt", "rport", "photos", "REPRT.md", "unrelated"};
    EXPECT_EQ(nearOf(names, "reprot"), (std::vector<std::string>{"annual-report.pdf", "reprt.md"}));
    // Diacritics and case fold away before the error is counted.
    EXPECT_EQ(nearOf({"Résumé-2024.pdf", "resume"}, "resumx"),
              (std::vector<std::string>{"resume", "resume-2024.pdf"}));
    // Short needles match nearly everything with one error; they are never widened.
    EXPECT_TRUE(nearOf(names, "rep").empty());
    // Neighbours swapped across the middle leave neither half whole.
    EXPECT_EQ(nearOf({"abdcef"}, "abcdef"), std::vector<std::string>{"abdcef"});
}

// The candidates come from the halves of the needle: a name one error away that holds
// neither half (nor the needle swapped in the middle) would be missed. Every name is
// measured here instead, names made from the needle by one random error among noise.
TEST(NearMatch, EqualsMeasuringEveryName) {
    std::mt19937 rng(
        static_cast<std::uint32_t>(test::testSeed("NearMatch.EqualsMeasuringEveryName")));
    const auto pick = [&](int below) { return static_cast<int>(rng() % unsigned(below)); };
    const auto word = [&](int shortest, int longest) {
        std::string w;
        for (int k = shortest + pick(longest - shortest + 1); k > 0; --k)
            w.push_back("abcdefgh"[pick(8)]);
        return w;
    };
    const auto mistyped = [&](std::string w) {
        const int at = pick(static_cast<int>(w.size()) - 1);
        switch (pick(4)) {
        case 0:
            w.insert(w.begin() + at, 'a' + char(pick(8)));
            break;
        case 1:
            w.erase(w.begin() + at);
            break;
        case 2:
            w[at] = 'a' + char(pick(8));
            break;
        default:
            std::swap(w[at], w[at + 1]);
        }
        return word(0, 3) + w + word(0, 3);
    };
    for (int round = 0; round < 60; ++round) {
        const std::string needle = word(4, 9);
        NameTable names;
        for (int i = 0; i < 150; ++i)
            names.intern(i % 3 ? word(1, 12) : mistyped(needle));
        const std::u32string pattern(needle.begin(), needle.end());
        std::vector<std::uint32_t> expected;
        for (std::uint32_t s = 0; s < names.shardsCount(); ++s)
            for (std::uint32_t p = 0; p < names.shard(s).nameCount(); ++p) {
                const std::uint32_t id = s | (p << 5);
                const std::string_view name = names.foldedBytes(id);
                const std::u32string text(name.begin(), name.end());
                const bool near = withinOneEdit(text, pattern);
                ASSERT_EQ(OneEditMatcher(pattern).foundIn(text), near) << name << " " << needle;
                if (near && !containsSubstring(name, needle)) expected.push_back(id);
            }
        std::sort(expected.begin(), expected.end());
        const std::vector<std::uint32_t> found = nearNames(needle, names);
        EXPECT_TRUE(found == expected)
            << needle << ": " << found.size() << " found, " << expected.size() << " expected";
    }
}

} // namespace
} // namespace vesko::Search
