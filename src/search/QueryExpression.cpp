// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/QueryExpression.h"

#include "index/Unicode.h"
#include "search/NameRules.h"

namespace vesko {
namespace {

class TokenSink {
public:
    void flush() {
        if (word_.empty()) return;
        tokens_.push_back({Token::Kind::word, std::move(word_)});
        word_.clear();
    }
    void emit(Token::Kind kind) {
        flush();
        tokens_.push_back({kind, {}});
    }
    void append(char byte) { word_.push_back(byte); }
    std::vector<Token> finish() {
        flush();
        return std::move(tokens_);
    }

private:
    std::vector<Token> tokens_;
    std::string word_;
};

std::optional<Token::Kind> operatorKind(char byte) {
    switch (byte) {
    case '!':
        return Token::Kind::not_;
    case '<':
        return Token::Kind::open;
    case '>':
        return Token::Kind::close;
    case '|':
        return Token::Kind::or_;
    default:
        return std::nullopt;
    }
}

} // namespace

std::vector<Token> Lexer::tokenize(std::string_view text, Unicode::Diacritics diacritics) {
    const std::string bytes = Unicode::folded(text, diacritics);
    TokenSink sink;
    bool inQuotes = false;
    for (const char byte : bytes) {
        if (inQuotes) {
            if (byte == '"') {
                sink.flush();
                inQuotes = false;
            } else {
                sink.append(byte);
            }
        } else if (byte == ' ' || byte == '\t') {
            sink.flush();
        } else if (byte == '"') {
            sink.flush();
            inQuotes = true;
        } else if (const auto kind = operatorKind(byte)) {
            sink.emit(*kind);
        } else {
            sink.append(byte);
        }
    }
    return sink.finish();
}

// ---- Parser -------------------------------------------------------------------------

std::optional<QueryExpression> Parser::parseQuery() {
    if (tokens_.empty()) return std::nullopt;
    auto tree = parseOr();
    if (!tree || position_ != tokens_.size()) return std::nullopt;
    return tree;
}

std::optional<QueryExpression> Parser::parseOr() {
    auto tree = parseAnd();
    while (tree && atKind(Token::Kind::or_)) {
        ++position_;
        auto right = parseAnd();
        if (!right) return std::nullopt;
        tree = QueryExpression::or_(std::move(*tree), std::move(*right));
    }
    return tree;
}

std::optional<QueryExpression> Parser::parseAnd() {
    auto tree = parseUnary();
    while (tree && position_ < tokens_.size() && !atKind(Token::Kind::or_) &&
           !atKind(Token::Kind::close)) {
        auto right = parseUnary();
        if (!right) return std::nullopt;
        tree = QueryExpression::and_(std::move(*tree), std::move(*right));
    }
    return tree;
}

std::optional<QueryExpression> Parser::parseUnary() {
    if (position_ >= tokens_.size()) return std::nullopt;
    const Token& token = tokens_[position_];
    switch (token.kind) {
    case Token::Kind::not_: {
        if (++depth_ > maxNesting) return std::nullopt;
        ++position_;
        auto operand = parseUnary();
        --depth_;
        if (!operand) return std::nullopt;
        return QueryExpression::not_(std::move(*operand));
    }
    case Token::Kind::open: {
        if (++depth_ > maxNesting) return std::nullopt;
        ++position_;
        auto inner = parseOr();
        --depth_;
        if (!inner || !atKind(Token::Kind::close)) return std::nullopt;
        ++position_;
        return inner;
    }
    case Token::Kind::word:
        ++position_;
        if (token.bytes.empty()) return QueryExpression::always();
        return QueryExpression::term(token.bytes);
    case Token::Kind::or_:
    case Token::Kind::close:
        break;
    }
    return std::nullopt;
}

// ---- QueryExpression ----------------------------------------------------------------

QueryExpression::Node::~Node() {
    // A left-deep chain of thousands of words would otherwise be released one stack frame
    // per link. Children that nothing else shares are unlinked here and released flat.
    std::vector<std::shared_ptr<const QueryExpression>> pending;
    auto adopt = [&pending](std::shared_ptr<const QueryExpression>& child) {
        if (child) pending.push_back(std::move(child));
    };
    adopt(left);
    adopt(right);
    while (!pending.empty()) {
        const std::shared_ptr<const QueryExpression> child = std::move(pending.back());
        pending.pop_back();
        if (child.use_count() == 1 && child->node_.use_count() == 1) {
            adopt(child->node_->left);
            adopt(child->node_->right);
        }
    }
}

QueryExpression QueryExpression::make(Kind kind, std::string bytes, const QueryExpression* left,
                                      const QueryExpression* right) {
    auto node = std::make_shared<Node>();
    node->kind = kind;
    node->bytes = std::move(bytes);
    if (left) node->left = std::make_shared<const QueryExpression>(*left);
    if (right) node->right = std::make_shared<const QueryExpression>(*right);
    return QueryExpression(std::move(node));
}

QueryExpression QueryExpression::term(std::string bytes) {
    return make(Kind::term, std::move(bytes), nullptr, nullptr);
}
QueryExpression QueryExpression::and_(QueryExpression left, QueryExpression right) {
    return make(Kind::and_, {}, &left, &right);
}
QueryExpression QueryExpression::or_(QueryExpression left, QueryExpression right) {
    return make(Kind::or_, {}, &left, &right);
}
QueryExpression QueryExpression::not_(QueryExpression operand) {
    return make(Kind::not_, {}, &operand, nullptr);
}
QueryExpression QueryExpression::always() {
    return make(Kind::always, {}, nullptr, nullptr);
}

std::optional<QueryExpression> QueryExpression::parse(std::string_view text,
                                                      Unicode::Diacritics diacritics) {
    return Parser(Lexer::tokenize(text, diacritics)).parseQuery();
}

QueryReading QueryExpression::read(std::string_view text, Unicode::Diacritics diacritics) {
    if (!looksBoolean(text)) return {};
    auto tree = parse(text, diacritics);
    if (!tree) return {std::nullopt, QueryProblem::notAnExpression};
    return {std::move(tree), QueryProblem::none};
}

std::string describe(QueryProblem problem) {
    switch (problem) {
    case QueryProblem::none:
        return {};
    case QueryProblem::notAnExpression:
        return "the query is not a valid expression (check |, !, < > and quotes); it was "
               "searched as literal text";
    case QueryProblem::tooLong:
        return "the query is longer than " + std::to_string(QueryExpression::maxQueryBytes) +
               " bytes; nothing was searched";
    }
    return {};
}

bool QueryExpression::looksBoolean(std::string_view text) {
    if (text.find_first_of("|!<\"") != std::string_view::npos) return true;
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    const std::size_t gap = text.find(' ', first);
    return gap != std::string_view::npos &&
           text.find_first_not_of(' ', gap) != std::string_view::npos;
}

bool QueryExpression::matches(const std::uint8_t* name, std::size_t length) const {
    return evaluate([&](std::string_view term) {
        return Search::containsSubstring(
            name, length, reinterpret_cast<const std::uint8_t*>(term.data()), term.size());
    });
}

std::vector<std::string> QueryExpression::positiveTerms() const {
    // An explicit stack, right child below left, keeps the order left to right and the cost
    // linear however deep the chain.
    std::vector<std::string> terms;
    std::vector<const QueryExpression*> pending{this};
    while (!pending.empty()) {
        const Node& node = *pending.back()->node_;
        pending.pop_back();
        if (node.kind == Kind::term) {
            terms.push_back(node.bytes);
        } else if (node.kind == Kind::and_ || node.kind == Kind::or_) {
            pending.push_back(node.right.get());
            pending.push_back(node.left.get());
        }
    }
    return terms;
}

bool QueryExpression::allowsNarrowing() const {
    std::vector<const QueryExpression*> pending{this};
    while (!pending.empty()) {
        const Node& node = *pending.back()->node_;
        pending.pop_back();
        if (node.kind == Kind::or_ || node.kind == Kind::not_) return false;
        if (node.kind == Kind::and_) {
            pending.push_back(node.right.get());
            pending.push_back(node.left.get());
        }
    }
    return true;
}

std::string QueryExpression::describe() const {
    switch (kind()) {
    case Kind::term:
        return node_->bytes;
    case Kind::always:
        return "always";
    case Kind::not_:
        return "not(" + left().describe() + ")";
    case Kind::and_:
        return "and(" + left().describe() + ", " + right().describe() + ")";
    case Kind::or_:
        return "or(" + left().describe() + ", " + right().describe() + ")";
    }
    return {};
}

} // namespace vesko
