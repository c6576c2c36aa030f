// SPDX-License-Identifier: GPL-3.0-or-later
// The boolean query language of the search field: words that must all occur, `|` for
// alternatives, `!` for negation, `<` `>` for grouping and double quotes for literal text.
// Query text becomes an immutable tree that is evaluated once per unique name.
#pragma once

#include "index/Unicode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

// One lexical unit of query text. `or_` and `not_` carry a trailing underscore only because
// `or` and `not` are reserved words in C++.
struct Token {
    enum class Kind { word, or_, not_, open, close };

    Kind kind = Kind::word;
    std::string bytes; // folded UTF-8, never empty; only for `word`

    bool operator==(const Token&) const = default;
};

namespace Lexer {

// Splits query text into tokens. Accepts every text; an unclosed quote runs to the end.
std::vector<Token> tokenize(std::string_view text,
                            Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);

} // namespace Lexer

// Why a query is not run as an expression although it looks like one, or not run at all.
enum class QueryProblem {
    none,
    notAnExpression, // looks like an expression but is not one: searched as literal text
    tooLong,         // over QueryExpression::maxQueryBytes: refused, nothing is searched
};

// One sentence for the user; empty for `none`.
std::string describe(QueryProblem problem);

struct QueryReading;

class QueryExpression {
public:
    enum class Kind { term, and_, or_, not_, always };

    // The longest query text a search accepts, in bytes (Search::chooseRule refuses longer
    // ones): twice the longest path Linux takes, and a bound on the terms every name of the
    // table is tested against on each keystroke.
    static constexpr std::size_t maxQueryBytes = 8192;

    // How the search reads a text: a tree when it looks like an expression and parses, else
    // no tree, with `notAnExpression` when it looked like one.
    static QueryReading read(std::string_view text,
                             Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);

    static QueryExpression term(std::string bytes);
    static QueryExpression and_(QueryExpression left, QueryExpression right);
    static QueryExpression or_(QueryExpression left, QueryExpression right);
    static QueryExpression not_(QueryExpression operand);
    static QueryExpression always();

    // The tree for the whole text, or nothing when it is not a well-formed expression (the
    // caller then searches the text as one substring). Time and memory grow linearly with
    // the text, whatever its length.
    static std::optional<QueryExpression>
    parse(std::string_view text, Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);
    // Whether the text is worth reading as an expression at all.
    static bool looksBoolean(std::string_view text);

    Kind kind() const { return node_->kind; }
    // Only for `term`.
    const std::string& bytes() const { return node_->bytes; }
    // Only for `and_`, `or_` (left, right) and `not_` (left is the operand).
    const QueryExpression& left() const { return *node_->left; }
    const QueryExpression& right() const { return *node_->right; }

    // Short-circuit evaluation; termMatches(std::string_view) is asked only for the terms that
    // evaluation reaches. Recurses down left children and loops along right ones, so a
    // left-deep chain of N words costs N frames, not 2N.
    template <class TermMatches> bool evaluate(TermMatches&& termMatches) const;

    // Evaluation against one name's folded bytes with the engine's substring rule.
    // Allocates nothing.
    bool matches(const std::uint8_t* name, std::size_t length) const;

    // Terms not under a `not_`, left to right, duplicates kept.
    std::vector<std::string> positiveTerms() const;
    // True for a pure conjunction of terms, whose matches can only shrink as words grow.
    bool allowsNarrowing() const;

    // A compact prefix form such as and(or(a, b), not(c)), for tests and diagnostics.
    std::string describe() const;

private:
    struct Node {
        Kind kind = Kind::always;
        std::string bytes;
        // Mutable only so that the destructor can unlink a long chain without recursing.
        mutable std::shared_ptr<const QueryExpression> left;
        mutable std::shared_ptr<const QueryExpression> right;

        Node() = default;
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;
        ~Node();
    };

    explicit QueryExpression(std::shared_ptr<const Node> node) : node_(std::move(node)) {}
    static QueryExpression make(Kind kind, std::string bytes, const QueryExpression* left,
                                const QueryExpression* right);

    std::shared_ptr<const Node> node_;
};

struct QueryReading {
    std::optional<QueryExpression> tree;
    QueryProblem problem = QueryProblem::none;
};

// Recursive descent over a token list; the position only moves forward. Nesting of groups
// and negations deeper than maxNesting fails the parse, so that no text can exhaust the stack.
class Parser {
public:
    static constexpr int maxNesting = 256;

    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    // The tree for all tokens, or nothing when they do not form one expression.
    std::optional<QueryExpression> parseQuery();

private:
    std::optional<QueryExpression> parseOr();
    std::optional<QueryExpression> parseAnd();
    std::optional<QueryExpression> parseUnary();
    bool atKind(Token::Kind kind) const {
        return position_ < tokens_.size() && tokens_[position_].kind == kind;
    }

    std::vector<Token> tokens_;
    std::size_t position_ = 0;
    int depth_ = 0;
};

// Tests in order of frequency rather than a switch: the indirect jump of a jump table cost
// about a third of the time per name in measurements.
template <class TermMatches> bool QueryExpression::evaluate(TermMatches&& termMatches) const {
    const QueryExpression* current = this;
    for (;;) {
        const Node& node = *current->node_;
        if (node.kind == Kind::term) return termMatches(std::string_view(node.bytes));
        if (node.kind == Kind::and_) {
            if (!node.left->evaluate(termMatches)) return false;
        } else if (node.kind == Kind::or_) {
            if (node.left->evaluate(termMatches)) return true;
        } else if (node.kind == Kind::not_) {
            return !node.left->evaluate(termMatches);
        } else {
            return true; // always
        }
        current = node.right.get();
    }
}

} // namespace vesko
