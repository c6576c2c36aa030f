// SPDX-License-Identifier: GPL-3.0-or-later
// Where a result row marks the query's terms in a displayed name: every case-insensitive
// occurrence of every highlight term, merged into sorted, non-overlapping ranges.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vesko::Highlight {

// Half-open [start, end) in the units of the text it was computed for.
struct Range {
    std::size_t start = 0;
    std::size_t end = 0;

    bool operator==(const Range&) const = default;
};

// Occurrences are found on canonically equivalent, case-folded text and always cover whole
// characters with their combining marks, so the NFC term "é" marks a decomposed "E" plus
// accent in a display name. Unless `matchDiacritics`, diacritics are dropped on both sides
// as in matching: the term "resume" marks all of "Résumé", in either form; with it, the
// term "e" marks neither form of "é".
// Hits of one term do not overlap; overlapping or touching hits of different terms merge.
// With `initialConsonants`, a term of Korean initial consonants also marks the syllables
// whose initials it spells (ㅂㄱㅅ marks 보고서 in 주간보고서), as the search matched them.

// Offsets are UTF-8 byte positions of `text`; invalid sequences count as one character each.
std::vector<Range> ranges(const std::vector<std::string>& terms, std::string_view text,
                          bool initialConsonants = true, bool matchDiacritics = false);

// Offsets are UTF-16 code-unit positions of `text`, as a QString indexes them.
std::vector<Range> ranges(const std::vector<std::string>& terms, std::u16string_view text,
                          bool initialConsonants = true, bool matchDiacritics = false);

} // namespace vesko::Highlight
