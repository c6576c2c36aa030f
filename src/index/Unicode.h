// SPDX-License-Identifier: GPL-3.0-or-later
// The few Unicode operations the engine needs, in one place so names, queries and root
// paths are folded the same way: NFC composition, full case folding, diacritics, UTF-8 repair.
#pragma once

#include <string>
#include <string_view>

namespace vesko::Unicode {

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// The bytes decoded as UTF-8 with each invalid sequence replaced by U+FFFD, re-encoded.
// Returns the input unchanged when it is already valid.
std::string repairUtf8(std::string_view bytes);

// Whether folding keeps accents and other combining diacritical marks.
enum class Diacritics { ignored, matched };

// Whether the code point belongs to a block of combining diacritical marks (U+0300-036F,
// U+1AB0-1AFF, U+1DC0-1DFF, U+20D0-20FF, U+FE20-FE2F): the marks folding drops. Marks of
// other blocks (the kana voiced sound marks, Indic vowel signs) are part of their letters.
bool isDiacritic(char32_t c);

// The form in which names and queries are compared when case is ignored: NFC composition,
// then full Unicode case folding (ß and SS both become ss, final and medial sigma one
// letter), composed again, as UTF-8. With Diacritics::ignored, the name table's form, the
// diacritics are then dropped from the decomposed text and the rest composed again, so
// "Résumé" gives "resume" while Hangul and kana keep their syllables (ガ stays ガ). Folding
// twice gives the same bytes. Invalid sequences become U+FFFD first; ASCII input takes a
// fast path with the same result.
std::string folded(std::string_view bytes, Diacritics diacritics = Diacritics::ignored);

// NFC, then the root locale's lowercase mapping, composed again. Only for text searched
// byte by byte in file contents, where the data's ASCII letters alone are folded: unlike
// folding, lowercase keeps ß and a final sigma as they are written in the file.
std::string lowercased(std::string_view bytes);

// The NFC form of the (repaired) text.
std::string nfc(std::string_view bytes);

// Case-sensitive equality in which canonically equivalent forms are equal.
bool canonicallyEqual(std::string_view a, std::string_view b);

} // namespace vesko::Unicode
