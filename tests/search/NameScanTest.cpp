// SPDX-License-Identifier: GPL-3.0-or-later
// The name stage finds candidates by searching each shard's bytes as one text; these
// tables hold it to the plain per-name test, ids and order included.
#include "search/NameRules.h"

#include "index/Unicode.h"

#include "support/RestoredNames.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vesko::Search {
namespace {

// Short names over a small alphabet, so occurrences often run across name boundaries;
// the empty name among them.
std::vector<std::string> randomNames(std::mt19937& random, int count) {
    const std::string letters[] = {"a", "b", "c", ".", " ", "\xC3\xA9", "e", "E\xCC\x81"};
    std::vector<std::string> names{""};
    std::uniform_int_distribution<int> length(1, 7), letter(0, 7);
    for (int i = 0; i < count; ++i) {
        std::string name;
        for (int n = length(random); n > 0; --n)
            name += letters[letter(random)];
        names.push_back(name);
    }
    return names;
}

// Every name tested on its own, shard by shard and position by position, in the form the
// rule reads: the stored one, or folded again with its diacritics.
std::vector<std::uint32_t> oneByOne(const NameTable& table, const NameRule& rule) {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t s = 0; s < table.shardsCount(); ++s) {
        const auto& shard = table.shard(s);
        for (std::uint32_t p = 0; p < shard.nameCount(); ++p) {
            const std::string name =
                rule.diacritics() == Unicode::Diacritics::matched
                    ? Unicode::folded(shard.displayBytes(p), Unicode::Diacritics::matched)
                    : std::string(shard.foldedBytes(p));
            if (rule.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
                ids.push_back(s | (p << 5));
        }
    }
    return ids;
}

TEST(NameScan, WholeTextSearchEqualsPerNameTest) {
    std::mt19937 random(
        static_cast<std::uint32_t>(test::testSeed("NameScan.WholeTextSearchEqualsPerNameTest")));
    // The first names served from fixed columns and the rest appended, as after loading an
    // archive and interning new names.
    const SharedNameTable mixed = test::restoredNames(randomNames(random, 3000));
    for (const auto& name : randomNames(random, 1000))
        mixed->intern(name);
    NameTable builtOnly;
    for (const auto& name : randomNames(random, 2000))
        builtOnly.intern(name);
    // Names longer than the 64 bytes compared at once, holding a needle many times over.
    for (int i = 0; i < 40; ++i) {
        std::string name;
        for (const auto& part : randomNames(random, 30))
            name += part + "ab";
        builtOnly.intern(name);
    }

    const std::string longNeedle = "ab" + std::string(68, 'a');
    const char* needles[] = {"a",
                             "\xC3\xA9",
                             "ab",
                             "ba",
                             "a.",
                             " c",
                             "abc",
                             "c.a b",
                             "zz",
                             "aaaaaaaaaaaa",
                             "bab",
                             "\xC3\xA9\xC3\xA9",
                             longNeedle.c_str()};
    const char* expressions[] = {"ab c", "ab|ca", "ab !c", "<a|b> \"c.\"", "!a"};
    const char* patterns[] = {"ab+c", "^c.*a$", "b\\.a", "[ab]c"};
    for (const NameTable* table : {mixed.get(), &builtOnly}) {
        for (const char* needle : needles) {
            const auto rule = NameRule::substring(needle);
            EXPECT_EQ(matchingNames(rule, *table, nullptr), oneByOne(*table, rule)) << needle;
        }
        for (const char* text : expressions) {
            const auto rule = NameRule::expression(*QueryExpression::parse(text));
            EXPECT_EQ(matchingNames(rule, *table, nullptr), oneByOne(*table, rule)) << text;
        }
        for (const char* pattern : patterns) {
            const auto rule = NameRule::regex(std::make_shared<RegexMatcher>(pattern, false));
            EXPECT_EQ(matchingNames(rule, *table, nullptr), oneByOne(*table, rule)) << pattern;
        }
        // Matching diacritics: candidates found in the stored form, then tested again.
        for (const char* query :
             {"\xC3\xA9", "e", "a\xC3\xA9", "E\xCC\x81 !e", "e|b.", "!\xC3\xA9", "\xCC\x81"}) {
            const auto rule = *chooseRule(query, false, false, false, true, true).rule;
            ASSERT_EQ(rule.diacritics(), Unicode::Diacritics::matched);
            EXPECT_EQ(matchingNames(rule, *table, nullptr), oneByOne(*table, rule)) << query;
        }
        for (const char* pattern : {"^\xC3\xA9", "e$", "[\xC3\x89]b"}) {
            const auto rule = *chooseRule(pattern, false, true, false, true, true).rule;
            EXPECT_EQ(matchingNames(rule, *table, nullptr), oneByOne(*table, rule)) << pattern;
        }
    }
}

// Past about 131,000 names the stage splits its work across two threads; the halves must
// come back as one pass would, for whole-text search, every-name scans and narrowing.
TEST(NameScan, LargeTablesAnswerAsOnePass) {
    std::mt19937 random(static_cast<std::uint32_t>(test::testSeed("NameScan.LargeTables")));
    NameTable large;
    const auto drawn = randomNames(random, 150'000);
    for (std::size_t i = 0; i < drawn.size(); ++i)
        large.intern(drawn[i] + "#" + std::to_string(i));
    for (const char* needle : {"a", "ab", "\xC3\xA9"}) {
        const auto rule = NameRule::substring(needle);
        EXPECT_EQ(matchingNames(rule, large, nullptr), oneByOne(large, rule)) << needle;
    }
    const auto expression = NameRule::expression(*QueryExpression::parse("!a"));
    EXPECT_EQ(matchingNames(expression, large, nullptr), oneByOne(large, expression));
    const auto keepsCase = NameRule::regex(std::make_shared<RegexMatcher>("^b.*c", true));
    EXPECT_EQ(matchingNames(keepsCase, large, nullptr), oneByOne(large, keepsCase));

    const Narrowing previous{"#", matchingNames(NameRule::substring("#"), large, nullptr)};
    ASSERT_GT(previous.names.size(), 140'000u);
    const auto narrowed = NameRule::substring("#1");
    EXPECT_EQ(matchingNames(narrowed, large, &previous), oneByOne(large, narrowed));
}

} // namespace
} // namespace vesko::Search
