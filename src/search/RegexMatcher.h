// SPDX-License-Identifier: GPL-3.0-or-later
// A compiled POSIX extended regular expression, tested against whole names: their folded
// bytes when case is ignored, their display bytes in NFC when it matters. One search owns
// one matcher; an invalid pattern keeps the system's message for the user.
#pragma once

#include "index/Unicode.h"

#include <regex.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesko {

class RegexMatcher {
public:
    // The pattern as the user typed it. Ignoring case, its literal characters are folded as
    // names are (escapes, bracket expressions and class names keep their meaning), with or
    // without their diacritics, and the match ignores ASCII case; with case kept it is only
    // composed to NFC and diacritics always count.
    RegexMatcher(std::string_view pattern, bool caseSensitive,
                 Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    bool isValid() const { return ok_; }
    // Whether `matches` expects display bytes in NFC rather than folded bytes.
    bool caseSensitive() const { return caseSensitive_; }
    // Ignoring case, which folding of the names `matches` expects.
    Unicode::Diacritics diacritics() const { return diacritics_; }
    // The compilation error as the C library words it; empty when the pattern compiled.
    const std::optional<std::string>& problem() const { return problem_; }
    // regcomp's code for that problem (REG_BADPAT, ...); 0 for a pattern refused before it.
    int problemCode() const { return problemCode_; }

    // Whether the pattern matches anywhere in the bytes. An invalid matcher matches nothing.
    // Names up to 255 bytes (every name a Linux file system allows) are copied to the stack,
    // longer ones to the heap.
    bool matches(const std::uint8_t* bytes, std::size_t count) const;

    // ASCII text that every match must contain, found conservatively from the pattern
    // (empty when none is certain). Names without it are rejected before regexec, which
    // costs about 150 ns a name in glibc.
    const std::string& requiredLiteral() const { return required_; }
    static std::string requiredLiteral(std::string_view pattern, bool caseSensitive);

    // The pattern with every literal character outside bracket expressions folded like a name
    // (Unicode::folded), and non-ASCII ones inside them folded one to one ("[É]" gives "[e]"
    // without diacritics); escapes and ASCII in brackets are kept, since REG_ICASE covers them
    // and lowering would change \W or [Z-a]. A literal whose fold is several bytes is grouped
    // when a repeat follows it: "ß+" gives "(ss)+" (unless the pattern has back-references,
    // which a group would renumber).
    static std::string foldedPattern(std::string_view pattern,
                                     Unicode::Diacritics diacritics = Unicode::Diacritics::ignored);

    // An upper estimate of the atoms (characters, classes, groups) regcomp builds once every
    // repeat is spelled out. glibc copies a repeated group once per repetition, so stacked
    // or nested repeats ("(ab)+++...", "((a{99}){99}){99}") grow without bound and would
    // exhaust memory inside regcomp; a larger pattern is refused with a problem text.
    static double expandedSize(std::string_view pattern);
    static constexpr double maxExpandedSize = 1000;

private:
    regex_t compiled_{};
    bool ok_ = false;
    bool caseSensitive_ = false;
    Unicode::Diacritics diacritics_ = Unicode::Diacritics::ignored;
    std::optional<std::string> problem_;
    int problemCode_ = 0;
    std::string required_;
};

} // namespace vesko
