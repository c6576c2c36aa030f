// SPDX-License-Identifier: MIT
#include "search/NameRules.h"

#include "index/Unicode.h"

namespace vesko::Search {
namespace {

// Calls visit(id, bytes, length) for every name of one shard with a non-zero length, reading
// the columns in place. The count is taken before the column bases so that a concurrent
// intern can only add names beyond it. A name never straddles the mapped and appended runs
// of `bytes`: appends start after the last mapped name.
template <class Visit>
void walkShard(const NameTable::Shard& shard, std::uint32_t shardNumber, Visit& visit) {
    const std::uint32_t count = shard.nameCount();
    if (count == 0) return;
    shard.starts().withBases([&](const std::uint32_t* startsMapped, std::size_t startsMappedCount,
                                 const std::uint32_t* startsExtra) {
        shard.bytes().withBases([&](const std::uint8_t* bytesMapped, std::size_t bytesMappedCount,
                                    const std::uint8_t* bytesExtra) {
            auto startOf = [&](std::uint32_t p) {
                return p < startsMappedCount ? startsMapped[p] : startsExtra[p - startsMappedCount];
            };
            std::uint32_t from = startOf(0);
            for (std::uint32_t p = 0; p < count; ++p) {
                const std::uint32_t to = startOf(p + 1);
                if (to > from) {
                    const std::uint8_t* name = from < bytesMappedCount
                                                   ? bytesMapped + from
                                                   : bytesExtra + (from - bytesMappedCount);
                    visit(shardNumber | (p << 5), name, std::size_t{to - from});
                }
                from = to;
            }
        });
    });
}

// Every name of the table that passes test(bytes, length), shard 0 first, positions upward.
template <class Test> std::vector<std::uint32_t> scanAll(const NameTable& names, Test&& test) {
    std::vector<std::uint32_t> matched;
    auto visit = [&](std::uint32_t id, const std::uint8_t* name, std::size_t length) {
        if (test(name, length)) matched.push_back(id);
    };
    for (std::size_t s = 0; s < names.shardsCount(); ++s)
        walkShard(names.shard(s), static_cast<std::uint32_t>(s), visit);
    return matched;
}

// The previous matches that still pass, in their stored order. Ids that the table does not
// hold (a narrowing kept across a table replacement) are dropped.
template <class Test>
std::vector<std::uint32_t> scanSome(const NameTable& names, const std::vector<std::uint32_t>& ids,
                                    Test&& test) {
    std::vector<std::uint32_t> matched;
    for (const std::uint32_t id : ids) {
        const std::size_t s = id & 31;
        if (s >= names.shardsCount() || (id >> 5) >= names.shard(s).nameCount()) continue;
        const std::string_view name = names.shard(s).lowercaseBytes(id >> 5);
        if (!name.empty() && test(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
            matched.push_back(id);
    }
    return matched;
}

bool extends(std::string_view needle, const Narrowing* previous) {
    return previous && previous->query.size() < needle.size() &&
           needle.starts_with(previous->query);
}

} // namespace

std::string normalize(std::string_view text) {
    return Unicode::lowercased(text);
}

std::string nameSegment(std::string_view needle) {
    const std::size_t last = needle.rfind('/');
    if (last == std::string_view::npos) return std::string(needle);
    if (last + 1 < needle.size()) return std::string(needle.substr(last + 1));
    if (last == 0) return {};
    const std::size_t previous = needle.rfind('/', last - 1);
    const std::size_t from = previous == std::string_view::npos ? 0 : previous + 1;
    return std::string(needle.substr(from, last - from));
}

// ---- NameRule -----------------------------------------------------------------------

NameRule NameRule::substring(std::string needle) {
    NameRule rule(Kind::substring);
    rule.needle_ = std::move(needle);
    return rule;
}

NameRule NameRule::expression(QueryExpression tree) {
    NameRule rule(Kind::expression);
    rule.tree_ = std::move(tree);
    return rule;
}

NameRule NameRule::regex(std::shared_ptr<const RegexMatcher> matcher) {
    NameRule rule(Kind::regex);
    rule.matcher_ = std::move(matcher);
    return rule;
}

bool NameRule::matches(const std::uint8_t* name, std::size_t length) const {
    if (length == 0) return false;
    switch (kind_) {
    case Kind::substring:
        return !needle_.empty() &&
               containsSubstring(name, length,
                                 reinterpret_cast<const std::uint8_t*>(needle_.data()),
                                 needle_.size());
    case Kind::expression:
        return tree_->matches(name, length);
    case Kind::regex:
        return matcher_ && matcher_->matches(name, length);
    }
    return false;
}

// ---- Matching -----------------------------------------------------------------------

std::vector<std::uint32_t> matchingNames(std::string_view needle, const NameTable& names,
                                         const Narrowing* previous) {
    if (needle.empty()) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(needle.data());
    const std::size_t length = needle.size();
    auto test = [bytes, length](const std::uint8_t* name, std::size_t nameLength) {
        return containsSubstring(name, nameLength, bytes, length);
    };
    if (extends(needle, previous)) return scanSome(names, previous->names, test);
    return scanAll(names, test);
}

std::vector<std::uint32_t> matchingNames(const NameRule& rule, const NameTable& names,
                                         const Narrowing* previous) {
    switch (rule.kind()) {
    case NameRule::Kind::substring:
        return matchingNames(rule.needle(), names, previous);
    case NameRule::Kind::expression:
        return scanAll(names, [&rule](const std::uint8_t* name, std::size_t length) {
            return rule.matches(name, length);
        });
    case NameRule::Kind::regex: {
        const RegexMatcher* matcher = rule.matcher();
        if (!matcher || !matcher->isValid()) return {};
        return scanAll(names, [matcher](const std::uint8_t* name, std::size_t length) {
            return matcher->matches(name, length);
        });
    }
    }
    return {};
}

std::vector<bool> directoriesUnderMatch(const std::vector<std::uint32_t>& matchedNames,
                                        const FileIndex& index, std::uint32_t idUpperBound) {
    const std::uint32_t directories = index.directoryCount();
    if (directories == 0) return {};
    std::vector<bool> matched(std::size_t{idUpperBound} + 1, false);
    for (const std::uint32_t id : matchedNames)
        if (id < matched.size()) matched[id] = true;
    std::vector<bool> under(directories, false);
    for (std::uint32_t d = 0; d < directories; ++d) {
        const std::uint32_t name = index.dirName[d];
        if (name < matched.size() && matched[name]) {
            under[d] = true;
        } else {
            const std::uint32_t parent = index.dirParent[d];
            under[d] = parent != d && parent < d && under[parent];
        }
    }
    return under;
}

// ---- Choosing the rule --------------------------------------------------------------

namespace {

void chooseRegex(RuleChoice& choice, bool matchCase) {
    auto matcher = std::make_shared<const RegexMatcher>(choice.query, matchCase);
    if (!matcher->isValid()) {
        choice.regexProblem = matcher->problem();
        return;
    }
    choice.rule = NameRule::regex(std::move(matcher));
    choice.narrowable = false;
}

bool chooseExpression(RuleChoice& choice) {
    if (!QueryExpression::looksBoolean(choice.query)) return false;
    auto tree = QueryExpression::parse(choice.query);
    if (!tree) return false;
    for (const std::string& term : tree->positiveTerms())
        choice.highlightTerms.push_back(Unicode::repairUtf8(term));
    choice.narrowable = tree->allowsNarrowing();
    choice.rule = NameRule::expression(std::move(*tree));
    return true;
}

void chooseSubstring(RuleChoice& choice, bool pathMode) {
    std::string needle = pathMode ? nameSegment(choice.query) : choice.query;
    if (needle.empty()) return;
    if (pathMode) {
        PathPredicate path;
        path.needle = choice.query;
        path.hasSeparator = choice.query.find('/') != std::string::npos;
        choice.path = std::move(path);
    }
    choice.highlightTerms.push_back(Unicode::repairUtf8(needle));
    choice.rule = NameRule::substring(std::move(needle));
}

} // namespace

RuleChoice chooseRule(std::string_view query, bool matchPath, bool useRegex, bool matchCase) {
    RuleChoice choice;
    choice.query = normalize(query);
    if (choice.query.empty()) return choice;
    if (useRegex) {
        chooseRegex(choice, matchCase);
    } else if (!chooseExpression(choice)) {
        chooseSubstring(choice, matchPath || choice.query.find('/') != std::string::npos);
    }
    return choice;
}

} // namespace vesko::Search
