// SPDX-License-Identifier: GPL-3.0-or-later
// Reading stored name bytes one character at a time, and the characters that disguise a
// name when shown: what the window's shown text and the terminal's quoting agree on.
#pragma once

#include <cstddef>
#include <string_view>

namespace vesko {

// The code point of the well-formed UTF-8 sequence at the start of `bytes` (no overlong
// forms, no surrogates, nothing above U+10FFFF) and its length; length 0 when the first
// byte starts none.
struct Utf8Step {
    char32_t code = 0;
    std::size_t length = 0;
};
Utf8Step utf8Step(std::string_view bytes);

// Characters that hide part of a name or move it when drawn: the C0 and C1 controls and
// DEL, the line and paragraph separators, and the bidirectional marks (U+200E, U+200F,
// U+061C), embeddings and overrides (U+202A to U+202E) and isolates (U+2066 to U+2069).
bool isDisguising(char32_t code);

} // namespace vesko
