// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/QueryExpression.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

struct TextCase {
    const char* text;
    const char* expected;
};

TEST(QueryParseTest, BuildsTreesWithPrecedenceGroupingAndQuotes) {
    const TextCase cases[] = {
        {"a b c", "and(and(a, b), c)"},
        {"a b | c d", "or(and(a, b), and(c, d))"},
        {"a | b c", "or(a, and(b, c))"},
        {"<a | b> c", "and(or(a, b), c)"},
        {"!a b", "and(not(a), b)"},
        {"!<a | b>", "not(or(a, b))"},
        {"<<a>>", "a"},
        {"\"a b\" | c", "or(a b, c)"},
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

// Malformed expressions are rejected, and deep nesting fails instead of exhausting the stack.
TEST(QueryParseTest, RejectsMalformedAndTooDeepExpressions) {
    for (const char* text : {"", "   ", "\"\"", "a |", "| a", "a || b", "a !", "!", "!|a", "!>",
                             "<a", "a>", "<>", "a<b", "<a | b", "a | b>", "<a>>", "a <!>"})
        EXPECT_FALSE(QueryExpression::parse(text).has_value()) << text;
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

} // namespace
} // namespace vesko
