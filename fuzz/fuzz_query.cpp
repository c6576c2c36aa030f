// SPDX-License-Identifier: GPL-3.0-or-later
// A query and the names to test it on: the input up to the first zero byte is the query
// text, each further piece between zero bytes is one name. Lexes, parses and evaluates the
// query against every name and compares with a plain reference evaluation, then runs the
// search engine's name stage (rule choice, full scan and narrowing) over a name table.
#include "FuzzCheck.h"

#include "index/NameTable.h"
#include "index/Unicode.h"
#include "search/NameRules.h"
#include "search/QueryExpression.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vesko::NameTable;
using vesko::QueryExpression;
using vesko::fuzz::require;
namespace Search = vesko::Search;

bool contains(std::string_view name, std::string_view term) {
    return name.find(term) != std::string_view::npos;
}

// Tree semantics written the obvious way, without short-circuit tricks or loops.
bool reference(const QueryExpression& tree, std::string_view name) {
    switch (tree.kind()) {
    case QueryExpression::Kind::term:
        return contains(name, tree.bytes());
    case QueryExpression::Kind::and_:
        return reference(tree.left(), name) && reference(tree.right(), name);
    case QueryExpression::Kind::or_:
        return reference(tree.left(), name) || reference(tree.right(), name);
    case QueryExpression::Kind::not_:
        return !reference(tree.left(), name);
    case QueryExpression::Kind::always:
        return true;
    }
    return false;
}

bool matches(const QueryExpression& tree, std::string_view name) {
    return tree.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
}

void checkTree(const QueryExpression& tree, const std::vector<std::string>& lowerNames) {
    const std::vector<std::string> terms = tree.positiveTerms();
    for (const std::string& term : terms)
        require(!term.empty(), "a positive term is never empty");
    require(!tree.describe().empty(), "a tree describes itself");
    const bool conjunction = tree.allowsNarrowing();
    for (const std::string& name : lowerNames) {
        const bool matched = matches(tree, name);
        require(matched == reference(tree, name), "evaluation agrees with the reference");
        if (!conjunction) continue;
        bool all = true;
        for (const std::string& term : terms)
            all = all && contains(name, term);
        require(matched == all, "a narrowable tree matches exactly the names with all terms");
    }
}

void checkLexer(std::string_view query) {
    for (const vesko::Token& token : vesko::Lexer::tokenize(query))
        require(token.kind != vesko::Token::Kind::word || !token.bytes.empty(),
                "the lexer emits no empty word");
}

// Every name whose folded bytes pass the rule, in scan order, the slow way.
std::vector<std::uint32_t> bruteForce(const Search::NameRule& rule, const NameTable& names) {
    std::vector<std::uint32_t> matched;
    for (std::size_t s = 0; s < names.shardsCount(); ++s)
        for (std::uint32_t p = 0; p < names.shard(s).nameCount(); ++p) {
            const std::string_view name = names.shard(s).foldedBytes(p);
            if (rule.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
                matched.push_back(static_cast<std::uint32_t>(s) | (p << 5));
        }
    return matched;
}

void checkRule(std::string_view query, bool matchPath, const NameTable& names) {
    const Search::RuleChoice choice = Search::chooseRule(query, matchPath, false, false);
    require(!choice.regexProblem, "only a regular expression reports a problem");
    if (query.size() > QueryExpression::maxQueryBytes) {
        require(choice.queryProblem == vesko::QueryProblem::tooLong && !choice.rule,
                "a query over the limit is refused");
        return;
    }
    require(choice.query == Search::normalize(query), "the rule reads the normalized query");
    for (const std::string& term : choice.highlightTerms)
        require(vesko::Unicode::isValidUtf8(term), "highlight terms are valid UTF-8");
    if (!choice.rule) return;
    const Search::NameRule& rule = *choice.rule;
    const std::vector<std::uint32_t> all = Search::matchingNames(rule, names, nullptr);
    require(all == bruteForce(rule, names), "the name scan finds exactly the matching names");
    if (rule.kind() != Search::NameRule::Kind::substring) return;
    const std::string& needle = rule.needle();
    require(!needle.empty(), "a substring rule has a needle");
    for (std::size_t cut = 1; cut < needle.size(); cut += 1 + needle.size() / 8) {
        Search::Narrowing previous{needle.substr(0, cut), {}};
        previous.names = Search::matchingNames(previous.query, names, nullptr);
        require(Search::matchingNames(needle, names, &previous) == all,
                "narrowing from a prefix equals a full scan");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> pieces = vesko::fuzz::splitAtZero(input);
    const std::string_view query = pieces.front();

    NameTable names;
    std::vector<std::string> lowerNames;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        lowerNames.push_back(vesko::Unicode::folded(pieces[i]));
        names.intern(pieces[i]);
    }

    checkLexer(query);
    const std::string normalized = Search::normalize(query);
    require(Search::normalize(normalized) == normalized, "query normalization is idempotent");
    QueryExpression::looksBoolean(query);
    if (const auto tree = QueryExpression::parse(query)) checkTree(*tree, lowerNames);
    checkRule(query, false, names);
    checkRule(query, true, names);
    return 0;
}
