// SPDX-License-Identifier: GPL-3.0-or-later
// The first stage of a search: which unique names of the name table match the query.
// Chooses between a plain substring, a boolean expression and a regular expression, tests
// every name once in place (or only the previous matches when the query just grew), and
// decides which entries a path query admits.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "index/Unicode.h"
#include "search/QueryExpression.h"
#include "search/RegexMatcher.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko::Search {

// The query in the form names are matched in (Unicode::folded): without its diacritics
// unless they are to match. Idempotent.
std::string normalize(std::string_view text, bool matchDiacritics = false);

// The last path segment of a needle: "src/main" gives "main", "src/" gives "src", "/" and
// "a//" give nothing.
std::string nameSegment(std::string_view needle);

// The one substring test of the engine, run for every name on every keystroke: scan for the
// needle's first byte, then compare the whole needle there. memchr finds the same first
// candidate position a byte loop would, only faster. An empty needle is contained everywhere.
inline bool containsSubstring(const std::uint8_t* name, std::size_t length,
                              const std::uint8_t* needle, std::size_t needleLength) {
    if (needleLength == 0) return true;
    if (length < needleLength) return false;
    const std::uint8_t first = needle[0];
    const std::uint8_t* at = name;
    const std::uint8_t* const end = name + (length - needleLength) + 1;
    while ((at = static_cast<const std::uint8_t*>(std::memchr(at, first, end - at)))) {
        if (needleLength == 1 || std::memcmp(at, needle, needleLength) == 0) return true;
        if (++at == end) break;
    }
    return false;
}

inline bool containsSubstring(std::string_view name, std::string_view needle) {
    return containsSubstring(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(),
                             reinterpret_cast<const std::uint8_t*>(needle.data()), needle.size());
}

// How a name qualifies. Cheap to copy: the tree and the matcher are shared.
class NameRule {
public:
    enum class Kind { substring, expression, regex };

    // With `initialConsonants`, a term made only of initial consonants (ㅂㄱㅅ) also matches
    // names whose consecutive syllables begin with them (보고서). With Diacritics::matched,
    // the needle or terms are folded with their diacritics and so are the names they are
    // tested against; a regex takes the choice from its matcher.
    static NameRule substring(std::string needle, bool initialConsonants = false,
                              Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);
    static NameRule expression(QueryExpression tree, bool initialConsonants = false,
                               Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);
    static NameRule regex(std::shared_ptr<const RegexMatcher> matcher);

    Kind kind() const { return kind_; }
    // The needle of a substring rule; empty for the other kinds.
    const std::string& needle() const { return needle_; }
    // The tree of an expression rule, else null.
    const QueryExpression* tree() const { return tree_ ? &*tree_ : nullptr; }
    // The matcher of a regex rule, else null.
    const RegexMatcher* matcher() const { return matcher_.get(); }
    // Whether consonant terms match by initials: for a substring rule, only when its needle
    // is such a term.
    bool initialConsonants() const { return initialConsonants_; }
    // Which folding of the names the rule reads. The name table stores names without their
    // diacritics, so a rule that matches them is run on candidates found in that form.
    Unicode::Diacritics diacritics() const { return diacritics_; }

    // Whether one name satisfies the rule, given its folded bytes (for a regex that keeps
    // case, its display bytes in NFC; with Diacritics::matched, the name folded with its
    // diacritics). A zero-length name never does.
    bool matches(const std::uint8_t* name, std::size_t length) const;

private:
    explicit NameRule(Kind kind) : kind_(kind) {}

    Kind kind_;
    bool initialConsonants_ = false;
    Unicode::Diacritics diacritics_ = Unicode::Diacritics::ignored;
    std::string needle_;
    std::optional<QueryExpression> tree_;
    std::shared_ptr<const RegexMatcher> matcher_;
};

// The normalized query of an earlier search and the names it matched, in the order found.
// Only a substring search may serve as one.
struct Narrowing {
    std::string query;
    std::vector<std::uint32_t> names;
    bool initialConsonants = true; // whether consonant terms matched by initials
    // Every hit of that search in index order, when it had no filter, scope, path or
    // content test and its hits were few beside the index (Result::entries): a longer word
    // then walks these instead of every entry. Only for the very index it was found in, so
    // whoever installs another (an update included) must drop it.
    std::shared_ptr<const std::vector<std::uint32_t>> entries = nullptr;
};

// Whether `needle` strictly extends the earlier search's query, so that what it matches is
// among what that matched.
bool extends(std::string_view needle, const Narrowing* previous);

// The ids of all names that match the rule. `previous` (may be null) is consulted by the
// substring rule only, and by a consonant needle only when it too matched by initials. Reads the
// table without locks and allocates nothing per name. Given `beginning`, a plain substring
// rule (neither by initials nor keeping diacritics) also sets it to the matched ids whose
// folded name begins with the needle; other rules leave it unset.
std::vector<std::uint32_t>
matchingNames(const NameRule& rule, const NameTable& names, const Narrowing* previous,
              std::optional<std::vector<std::uint32_t>>* beginning = nullptr);

// The substring case. When the needle strictly extends previous->query, only the previous
// matches are tested, in their order; otherwise every name, shard by shard.
std::vector<std::uint32_t>
matchingNames(std::string_view needle, const NameTable& names, const Narrowing* previous,
              std::optional<std::vector<std::uint32_t>>* beginning = nullptr);

// One flag per directory id: whether the directory or one of its ancestors has a matched
// name. Relies on every parent id being smaller than its child's.
std::vector<bool> directoriesUnderMatch(const std::vector<std::uint32_t>& matchedNames,
                                        const FileIndex& index, std::uint32_t idUpperBound);

// Matching against full paths, for plain substring queries in path mode.
struct PathPredicate {
    std::string needle;         // the whole normalized query, slashes included
    bool hasSeparator = false;  // whether needle holds a '/'
    bool insideFolders = false; // whether needle ends with '/': what lies in folders it names
    std::vector<bool> under;    // from fillUnder; unused with a separator inside the needle
};

// Per directory, whether its full folded path followed by '/' contains the needle, which
// ends with '/': exactly the directories whose entries' paths contain it. Only directories
// whose name is matched (holds the needle's last segment) can end an occurrence.
std::vector<bool> directoriesInsideMatch(const std::vector<std::uint32_t>& matchedNames,
                                         std::string_view needle, const FileIndex& index,
                                         const NameTable& names);

// Sets path.under where the predicate uses it (no separator, or a needle ending in '/').
void fillUnder(PathPredicate& path, const std::vector<std::uint32_t>& matchedNames,
               const FileIndex& index, const NameTable& names);

// Whether an entry passes the name stage. `path` is null outside path mode;
// foldedPath() gives the entry's full folded path and is called only when needed.
template <class FoldedPath>
bool admitsEntry(const PathPredicate* path, bool nameMatched, std::uint32_t entryDir,
                 FoldedPath&& foldedPath) {
    if (!path) return nameMatched;
    if (path->insideFolders) return entryDir < path->under.size() && path->under[entryDir];
    if (path->hasSeparator) {
        if (!nameMatched) return false;
        const std::string full = foldedPath();
        return containsSubstring(full, path->needle);
    }
    return nameMatched || (entryDir < path->under.size() && path->under[entryDir]);
}

// The outcome of reading a query: the rule to run, or none when the search ends at once
// with an empty result (empty query, empty needle, or an invalid pattern with its problem).
struct RuleChoice {
    std::string query; // the normalized query
    std::optional<NameRule> rule;
    std::optional<PathPredicate> path; // `under` left empty for the caller to fill
    std::vector<std::string> highlightTerms;
    bool narrowable = true;
    std::optional<std::string> regexProblem;
    int regexProblemCode = 0; // see RegexMatcher::problemCode
    // Set when the text was refused as too long, or looked like an expression but was
    // searched as literal text; the caller may tell the user (describe(QueryProblem)).
    QueryProblem queryProblem = QueryProblem::none;
};

// With `matchDiacritics`, names match only with the query's diacritics (résumé is not
// resume); a regex that keeps case always compares them.
RuleChoice chooseRule(std::string_view query, bool matchPath, bool useRegex, bool matchCase,
                      bool initialConsonants = true, bool matchDiacritics = false);

} // namespace vesko::Search
