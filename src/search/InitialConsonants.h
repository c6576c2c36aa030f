// SPDX-License-Identifier: GPL-3.0-or-later
// Korean initial-consonant search: a term typed only as the consonants that begin syllables
// (ㅂㄱㅅ) also finds the names whose consecutive syllables begin with them (보고서), the way
// Korean users abbreviate a word without switching input modes. Works on folded names,
// which are composed, so decomposed names on disk have become whole syllables here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vesko::InitialConsonants {

// The initial consonant (0 for ㄱ … 18 for ㅎ, in syllable order) of a precomposed Hangul
// syllable, or -1 for any other code point.
constexpr int ofSyllable(char32_t c) {
    return c >= 0xAC00 && c <= 0xD7A3 ? static_cast<int>((c - 0xAC00) / 588) : -1;
}

// The initial consonant a compatibility jamo stands for, or -1: clusters such as ㄳ and
// vowels never begin a syllable.
int ofJamo(char32_t c);

// Whether a folded term consists only of jamo that can begin a syllable (at least one).
bool isTerm(std::string_view term);

// Whether some consecutive syllables of the folded UTF-8 name begin, in order, with the
// consonants of `term` (which isTerm accepts). A run of syllables ends at any other
// character. Does not count the term written out literally; that is the substring test's.
bool foundIn(std::string_view term, const std::uint8_t* name, std::size_t length);

// The first byte in [text, text + length) that can begin a Hangul syllable or a
// compatibility jamo in UTF-8, or null: a name without one can match a consonant term
// neither way, so most names are passed over without being decoded.
const std::uint8_t* findHangulLead(const std::uint8_t* text, std::size_t length);

} // namespace vesko::InitialConsonants
