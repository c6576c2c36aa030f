// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/InitialConsonants.h"

#include "index/Unicode.h"
#include "search/Highlight.h"
#include "search/NameRules.h"
#include "search/Search.h"
#include "support/MemoryIndex.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <random>
#include <set>

namespace vesko {
namespace {

// The compatibility jamo of the nineteen initial consonants, in syllable order.
constexpr char32_t jamo[] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                             0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                             0x314A, 0x314B, 0x314C, 0x314D, 0x314E};

std::string utf8(char32_t c) {
    std::string out;
    return icu::UnicodeString(static_cast<UChar32>(c)).toUTF8String(out);
}

// Names copied from systems that store them decomposed keep that form.
std::string nfd(const std::string& text) {
    UErrorCode error = U_ZERO_ERROR;
    std::string out;
    return icu::Normalizer2::getNFDInstance(error)
        ->normalize(icu::UnicodeString::fromUTF8(text), error)
        .toUTF8String(out);
}

bool ruleMatches(std::string_view query, std::string_view name) {
    const auto choice = Search::chooseRule(query, false, false, false);
    const std::string folded = Unicode::folded(name);
    return choice.rule->matches(reinterpret_cast<const std::uint8_t*>(folded.data()),
                                folded.size());
}

TEST(InitialConsonantsTest, NamesMatchedByInitialsOrLiterally) {
    const std::string syllables85 = [] {
        std::string s;
        for (int i = 0; i < 85; ++i)
            s += "바";
        return s;
    }();
    std::string jamo85, b85, b86;
    for (int i = 0; i < 85; ++i)
        jamo85 += "ㅂ", b85 += "ㅂ";
    b86 = b85 + "ㅂ";
    const struct {
        std::string query, name;
        bool found;
    } cases[] = {
        {"ㅂㄱㅅ", "주간보고서.pdf", true},
        {"ㄲ", "까치", true},
        {"ㄱ", "까치", false},
        {"ㄳ", "고사", false}, // a cluster is not an initial: literal only
        {"ㅂㅗ", "보", false}, // a vowel makes it a literal term
        {"ㅂㅂㅂ", jamo85, true},
        {b85, syllables85, true},
        {b86, syllables85, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ruleMatches(c.query, c.name), c.found) << c.query << " in " << c.name;
}

// Random names of syllables from few initials, jamo, Latin, digits and separators, half of
// them decomposed, against a model over their code points.
TEST(InitialConsonantsTest, MatchingAgreesWithModelAndNarrowing) {
    std::mt19937 rng(static_cast<std::uint32_t>(
        test::testSeed("InitialConsonantsTest.MatchingAgreesWithModelAndNarrowing")));
    constexpr int initials[] = {0, 2, 7, 9};
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    NameTable table;
    std::vector<std::pair<std::uint32_t, std::u32string>> model;
    for (int i = 0; i < 3000; ++i) {
        std::u32string points;
        for (int k = 1 + pick(7); k > 0; --k) {
            const int kind = pick(10);
            if (kind < 7)
                points += static_cast<char32_t>(0xAC00 + (initials[pick(4)] * 21 + pick(21)) * 28 +
                                                pick(28));
            else if (kind == 7)
                points += jamo[initials[pick(4)]];
            else
                points += U"a1. "[pick(4)];
        }
        std::string name;
        for (const char32_t c : points)
            name += utf8(c);
        model.emplace_back(table.intern(pick(2) ? nfd(name) : name), points);
    }
    auto expected = [&](const std::u32string& consonants) {
        std::set<std::uint32_t> ids;
        for (const auto& [id, points] : model) {
            bool found = points.find(consonants) != std::u32string::npos;
            for (std::size_t at = 0; !found && at + consonants.size() <= points.size(); ++at) {
                std::size_t n = 0;
                while (n < consonants.size() && points[at + n] >= 0xAC00 &&
                       points[at + n] <= 0xD7A3 &&
                       jamo[(points[at + n] - 0xAC00) / 588] == consonants[n])
                    ++n;
                found = n == consonants.size();
            }
            if (found) ids.insert(id);
        }
        return ids;
    };
    for (int q = 0; q < 150; ++q) {
        std::u32string consonants;
        std::string query, shorter;
        for (int k = 1 + pick(3); k > 0; --k) {
            shorter = query;
            consonants += jamo[initials[pick(4)]];
            query += utf8(consonants.back());
        }
        const auto rule = *Search::chooseRule(query, false, false, false).rule;
        const auto fresh = Search::matchingNames(rule, table, nullptr);
        ASSERT_EQ(std::set<std::uint32_t>(fresh.begin(), fresh.end()), expected(consonants))
            << query;
        if (shorter.empty()) continue;
        const auto before = *Search::chooseRule(shorter, false, false, false).rule;
        const Search::Narrowing previous{shorter, Search::matchingNames(before, table, nullptr)};
        EXPECT_EQ(Search::matchingNames(rule, table, &previous), fresh) << query;
    }
}

class InitialConsonantsSearchTest : public ::testing::Test {
protected:
    test::MemoryIndex memory{"/home/u",
                             {"보고서.hwp", "주간보고서.pdf", "가방.txt", "notes.txt",
                              "보고 서.txt", "ㅂㄱㅅ.txt", nfd("회의록 보고서.md")}};

    std::set<std::string> found(const std::string& query, bool initials = true,
                                const Search::Narrowing* previous = nullptr) {
        Search::Request request;
        request.query = Search::normalize(query);
        request.initialConsonants = initials;
        request.previous = previous;
        std::set<std::string> names;
        for (const auto& hit : Search::run(request, memory.index, memory.names).hits)
            names.insert(Unicode::nfc(memory.path(hit.entry).substr(8)));
        return names;
    }
};

TEST_F(InitialConsonantsSearchTest, BooleanQueriesAndThePreference) {
    using Names = std::set<std::string>;
    EXPECT_EQ(found("ㅂㄱㅅ"),
              (Names{"보고서.hwp", "주간보고서.pdf", "ㅂㄱㅅ.txt", "회의록 보고서.md"}));
    EXPECT_EQ(found("ㅂㄱㅅ !pdf"), (Names{"보고서.hwp", "ㅂㄱㅅ.txt", "회의록 보고서.md"}));
    EXPECT_EQ(found("ㄱㅂ | notes"), (Names{"가방.txt", "notes.txt", "주간보고서.pdf"}));
    EXPECT_EQ(found("ㅎㅇㄹ ㅂㄱㅅ"), Names{"회의록 보고서.md"});
    EXPECT_EQ(found("!ㅂㄱㅅ"), (Names{"가방.txt", "notes.txt", "보고 서.txt"}));
    EXPECT_EQ(found("ㅂㄱㅅ", false), Names{"ㅂㄱㅅ.txt"});
    EXPECT_EQ(found("ㅂㄱㅅ !pdf", false), Names{"ㅂㄱㅅ.txt"});

    // Names found while the preference was off cannot narrow a consonant query once it is on.
    Search::Request off;
    off.query = Search::normalize("ㅂㄱ");
    off.initialConsonants = false;
    const Search::Narrowing literal{off.query, Search::run(off, memory.index, memory.names).names,
                                    false};
    EXPECT_EQ(found("ㅂㄱㅅ", true, &literal), found("ㅂㄱㅅ"));
}

// The list's spans, in UTF-16 and with the preference off, are ResultModelTest's.
TEST(InitialConsonantsTest, HighlightCoversTheMatchedSyllables) {
    using Ranges = std::vector<Highlight::Range>;
    const std::vector<std::string> terms{"ㅂㄱㅅ"};
    EXPECT_EQ(Highlight::ranges(terms, std::string_view("주간보고서.pdf")), (Ranges{{6, 15}}));
    EXPECT_EQ(Highlight::ranges(terms, std::string_view(nfd("보고서"))), (Ranges{{0, 18}}));
    EXPECT_EQ(Highlight::ranges(terms, std::string_view("ㅂㄱㅅ 보고서 보고 서")),
              (Ranges{{0, 9}, {10, 19}}));
    EXPECT_TRUE(Highlight::ranges({"ㄳ"}, std::string_view("고사")).empty());
}

} // namespace
} // namespace vesko
