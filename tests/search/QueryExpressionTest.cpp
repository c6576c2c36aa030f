// SPDX-License-Identifier: MIT
#include "search/QueryExpression.h"

#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace vesko {
namespace {

struct TextCase {
    const char* text;
    const char* expected;
};

TEST(QueryParseTest, BuildsTreesWithPrecedenceGroupingAndQuotes) {
    const TextCase cases[] = {
        {"a b c", "and(and(a, b), c)"},
        {"a | b | c", "or(or(a, b), c)"},
        {"a b | c d", "or(and(a, b), and(c, d))"},
        {"a | b c", "or(a, and(b, c))"},
        {"<a | b> c", "and(or(a, b), c)"},
        {"!a b", "and(not(a), b)"},
        {"!<a | b>", "not(or(a, b))"},
        {"<<a>>", "a"},
        {"\"a b\" | c", "or(a b, c)"},
        {"a<b>", "and(a, b)"},
        // Quotes and separators: the words the lexer hands over, folded as names are.
        {"  foo \t bar!baz  ", "and(and(foo, bar), not(baz))"},
        {"ab\"cd ef\"", "and(ab, cd ef)"},
        {"x \"\" \"a|b !<c>\"", "and(x, a|b !<c>)"},
        {"\"unclosed | rest", "unclosed | rest"},
        {"ΟΔΟΣ Straße E\xCC\x81", "and(and(οδοσ, strasse), e)"},
    };
    for (const auto& c : cases) {
        const auto tree = QueryExpression::parse(c.text);
        ASSERT_TRUE(tree.has_value()) << c.text;
        EXPECT_EQ(tree->describe(), c.expected) << c.text;
    }
    EXPECT_EQ(QueryExpression::parse("ΟΔΟΣ E\xCC\x81", Unicode::Diacritics::matched)->describe(),
              "and(οδοσ, \xC3\xA9)");
}

TEST(QueryParseTest, RejectsMalformedExpressions) {
    for (const char* text : {"", "   ", "\"\"", "a |", "| a", "a || b", "a !", "!", "!|a", "!>",
                             "<a", "a>", "<>", "a<b", "<a | b", "a | b>", "<a>>", "a <!>"})
        EXPECT_FALSE(QueryExpression::parse(text).has_value()) << text;
}

TEST(QueryParseTest, DeepNestingFailsInsteadOfExhaustingTheStack) {
    const int limit = Parser::maxNesting;
    EXPECT_TRUE(QueryExpression::parse(std::string(limit, '<') + "a" + std::string(limit, '>')));
    EXPECT_TRUE(QueryExpression::parse(std::string(limit, '!') + "a"));
    EXPECT_FALSE(QueryExpression::parse(std::string(limit + 1, '!') + "a"));
    EXPECT_FALSE(QueryExpression::parse(std::string(100000, '<') + "a" + std::string(100000, '>')));
}

// Reading a query costs time in proportion to its length: a megabyte of words (once
// minutes, as collecting the highlight terms copied every term once per word) parses, and
// its terms and narrowing are answered without recursing once per word.
TEST(QueryParseTest, LongQueriesParseInLinearTime) {
    std::string text;
    while (text.size() < (1u << 20))
        text += text.size() % 3 ? "ab " : "\"c d\" ";
    const auto tree = QueryExpression::parse(text);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->kind(), QueryExpression::Kind::and_);
    EXPECT_EQ(tree->positiveTerms().size(), Lexer::tokenize(text).size());
    EXPECT_TRUE(tree->allowsNarrowing());
    EXPECT_FALSE(QueryExpression::parse(text + " |"));
}

// A reference model: random trees rendered fully bracketed, evaluated with std::string::find.
struct Model {
    enum Kind { term, conj, disj, neg } kind;
    std::string word;
    std::shared_ptr<Model> left, right;

    std::string text() const {
        switch (kind) {
        case term:
            return word;
        case neg:
            return "!" + left->text();
        case conj:
            return "<" + left->text() + " " + right->text() + ">";
        case disj:
            return "<" + left->text() + " | " + right->text() + ">";
        }
        return {};
    }
    bool eval(const std::string& name) const {
        switch (kind) {
        case term:
            return name.find(word) != std::string::npos;
        case neg:
            return !left->eval(name);
        case conj:
            return left->eval(name) && right->eval(name);
        case disj:
            return left->eval(name) || right->eval(name);
        }
        return false;
    }
};

std::shared_ptr<Model> randomModel(std::mt19937& rng, int depth) {
    auto m = std::make_shared<Model>();
    const int pick = depth == 0 ? 0 : int(rng() % 4);
    m->kind = Model::Kind(pick);
    if (pick == Model::term) {
        const char* words[] = {"a", "b", "ab", "ba", "c", "aa"};
        m->word = words[rng() % 6];
    } else {
        m->left = randomModel(rng, depth - 1);
        if (pick != Model::neg) m->right = randomModel(rng, depth - 1);
    }
    return m;
}

TEST(QueryEvaluateTest, AgreesWithReferenceModelOnRandomTrees) {
    std::mt19937 rng(static_cast<std::uint32_t>(
        test::testSeed("QueryEvaluateTest.AgreesWithReferenceModelOnRandomTrees")));
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        std::string n;
        for (int k = int(rng() % 6); k > 0; --k)
            n += "abc"[rng() % 3];
        names.push_back(n);
    }
    for (int round = 0; round < 300; ++round) {
        const auto model = randomModel(rng, 4);
        const auto tree = QueryExpression::parse(model->text());
        ASSERT_TRUE(tree) << model->text();
        for (const std::string& n : names) {
            const bool actual =
                tree->matches(reinterpret_cast<const std::uint8_t*>(n.data()), n.size());
            ASSERT_EQ(actual, model->eval(n)) << model->text() << " / " << n;
        }
    }
}

} // namespace
} // namespace vesko
