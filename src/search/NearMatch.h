// SPDX-License-Identifier: GPL-3.0-or-later
// Names one typing error away from a query that found nothing: "reprot" finds "report.pdf".
// Offered only in place of an empty answer, and always marked as such, so a search that
// finds something never changes.
#pragma once

#include "index/NameTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesko::Search {

// Shorter needles are never widened: with one error allowed, two or three characters match
// a large part of any home folder.
constexpr std::size_t nearMatchShortest = 4;
// A pasted sentence is not a typing error (and the matcher keeps a character a bit).
constexpr std::size_t nearMatchLongest = 64;

// Whether some stretch of a text is at most one edit from the pattern: a character
// inserted, dropped or replaced, or two neighbours swapped. Characters are code points, so
// a Hangul syllable mistyped is one error. Reads each character of the text once.
class OneEditMatcher {
public:
    // `pattern` holds 1 to `nearMatchLongest` code points.
    explicit OneEditMatcher(std::u32string_view pattern);
    bool foundIn(std::u32string_view text) const;
    bool foundIn(const std::uint8_t* utf8, std::size_t length) const;

private:
    std::uint64_t maskOf(char32_t c) const;
    std::array<std::uint64_t, 128> ascii_{};
    std::vector<std::pair<char32_t, std::uint64_t>> others_;
    std::uint64_t last_ = 0;
};

// The ids of the names that hold the normalized needle with exactly one typing error (never
// those that hold it as typed), in ascending order. Empty when the needle has fewer than
// `nearMatchShortest` or more than `nearMatchLongest` characters.
std::vector<std::uint32_t> nearNames(std::string_view needle, const NameTable& names);

} // namespace vesko::Search
