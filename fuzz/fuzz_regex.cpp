// SPDX-License-Identifier: GPL-3.0-or-later
// A regular-expression query and the names to test it on: the first byte's low bit chooses
// case-sensitive matching, the bytes up to the next zero byte are the pattern, each further
// piece between zero bytes is one name, matched in its folded form as the search does.
// An invalid pattern must yield a problem text and no matches; a valid one must match
// exactly where regexec alone matches, so the literal prefilter never drops a real match.
#include "FuzzCheck.h"

#include "index/NameTable.h"
#include "index/Unicode.h"
#include "search/NameRules.h"
#include "search/RegexMatcher.h"

#include <regex.h>

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vesko::RegexMatcher;
using vesko::fuzz::require;

// regexec without the prefilter, on the name up to its first zero byte as a C string.
class PlainRegex {
public:
    PlainRegex(const std::string& pattern, bool caseSensitive) {
        const int flags = REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE);
        ok_ = regcomp(&compiled_, pattern.c_str(), flags) == 0;
    }
    ~PlainRegex() {
        if (ok_) regfree(&compiled_);
    }
    PlainRegex(const PlainRegex&) = delete;
    PlainRegex& operator=(const PlainRegex&) = delete;

    bool ok() const { return ok_; }
    bool matches(std::string_view name) const {
        return regexec(&compiled_, std::string(name).c_str(), 0, nullptr, 0) == 0;
    }

private:
    regex_t compiled_{};
    bool ok_ = false;
};

bool matches(const RegexMatcher& matcher, std::string_view name) {
    return matcher.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
}

void checkMatcher(std::string_view pattern, bool caseSensitive,
                  const std::vector<std::string>& names) {
    const RegexMatcher matcher(pattern, caseSensitive);
    if (!matcher.isValid()) {
        require(matcher.problem() && !matcher.problem()->empty(),
                "an invalid pattern carries a problem text");
        for (const std::string& name : names)
            require(!matches(matcher, name), "an invalid matcher matches nothing");
        return;
    }
    require(!matcher.problem(), "a valid pattern has no problem");
    for (char c : matcher.requiredLiteral())
        require(static_cast<unsigned char>(c) < 0x80, "the required literal is ASCII");
    const std::string prepared =
        caseSensitive ? vesko::Unicode::nfc(pattern) : RegexMatcher::foldedPattern(pattern);
    const PlainRegex plain{prepared, caseSensitive};
    require(plain.ok(), "the same pattern compiles the same way");
    for (const std::string& name : names)
        require(matches(matcher, name) == plain.matches(name),
                "the prefilter never changes whether a name matches");
}

void checkRuleChoice(std::string_view pattern, bool caseSensitive) {
    const vesko::Search::RuleChoice choice =
        vesko::Search::chooseRule(pattern, false, true, caseSensitive);
    if (pattern.size() > vesko::QueryExpression::maxQueryBytes) {
        require(!choice.rule && choice.queryProblem == vesko::QueryProblem::tooLong,
                "a pattern over the query limit is refused");
        return;
    }
    const RegexMatcher typed(pattern, caseSensitive);
    if (choice.query.empty()) return;
    require(choice.regexProblem.has_value() == !typed.isValid(),
            "a search reports a problem exactly for an invalid pattern");
    require(choice.rule.has_value() == typed.isValid(), "a valid pattern gives a rule");
    require(choice.highlightTerms.empty(), "a regular expression highlights nothing");
}

} // namespace

// Desktop sessions run in a UTF-8 locale, where case folding reaches beyond ASCII.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool caseSensitive = data[0] & 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string_view> pieces = vesko::fuzz::splitAtZero(input);
    const std::string_view pattern = pieces.front();
    std::vector<std::string> names;
    for (std::size_t i = 1; i < pieces.size(); ++i)
        names.push_back(vesko::Unicode::folded(pieces[i]));
    checkMatcher(pattern, caseSensitive, names);
    checkRuleChoice(pattern, caseSensitive);
    return 0;
}
