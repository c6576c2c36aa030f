// SPDX-License-Identifier: MIT
// A compiled POSIX extended regular expression, tested against whole lowercase names.
// One search owns one matcher; an invalid pattern keeps the system's message for the user.
#pragma once

#include <regex.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vesko {

class RegexMatcher {
public:
    RegexMatcher(std::string_view pattern, bool caseSensitive);
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    bool isValid() const { return ok_; }
    // The compilation error as the C library words it; empty when the pattern compiled.
    const std::optional<std::string>& problem() const { return problem_; }

    // Whether the pattern matches anywhere in the bytes. An invalid matcher matches nothing.
    // Names up to 255 bytes (every name a Linux file system allows) are copied to the stack,
    // longer ones to the heap.
    bool matches(const std::uint8_t* bytes, std::size_t count) const;

    // ASCII text that every match must contain, found conservatively from the pattern
    // (empty when none is certain). Names without it are rejected before regexec, which
    // costs about 150 ns a name in glibc.
    const std::string& requiredLiteral() const { return required_; }
    static std::string requiredLiteral(std::string_view pattern, bool caseSensitive);

    // An upper estimate of the atoms (characters, classes, groups) regcomp builds once every
    // repeat is spelled out. glibc copies a repeated group once per repetition, so stacked
    // or nested repeats ("(ab)+++...", "((a{99}){99}){99}") grow without bound and would
    // exhaust memory inside regcomp; a larger pattern is refused with a problem text.
    static double expandedSize(std::string_view pattern);
    static constexpr double maxExpandedSize = 1000;

private:
    regex_t compiled_{};
    bool ok_ = false;
    std::optional<std::string> problem_;
    std::string required_;
};

} // namespace vesko
