// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/InitialConsonants.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vesko::InitialConsonants {
namespace {

// U+3131 ㄱ to U+314E ㅎ in code-point order, with -1 for the clusters.
constexpr std::array<std::int8_t, 30> jamoInitial{0,  1,  -1, 2,  -1, -1, 3,  4,  5,  -1,
                                                  -1, -1, -1, -1, -1, -1, 6,  7,  8,  -1,
                                                  9,  10, 11, 12, 13, 14, 15, 16, 17, 18};

// The code point of the three-byte UTF-8 sequence at `at`, or 0 when there is none.
char32_t threeByteAt(const std::uint8_t* at, std::size_t left) {
    if (left < 3 || (at[0] & 0xF0) != 0xE0 || (at[1] & 0xC0) != 0x80 || (at[2] & 0xC0) != 0x80)
        return 0;
    return static_cast<char32_t>(((at[0] & 0x0F) << 12) | ((at[1] & 0x3F) << 6) | (at[2] & 0x3F));
}

int initialAt(const std::uint8_t* at, std::size_t left) {
    return ofSyllable(threeByteAt(at, left));
}

int termConsonant(std::string_view term, std::size_t n) {
    return ofJamo(threeByteAt(reinterpret_cast<const std::uint8_t*>(term.data()) + 3 * n, 3));
}

bool isLead(std::uint8_t byte) {
    return byte == 0xE3 || (byte >= 0xEA && byte <= 0xED);
}

} // namespace

int ofJamo(char32_t c) {
    return c >= 0x3131 && c <= 0x314E ? jamoInitial[c - 0x3131] : -1;
}

bool isTerm(std::string_view term) {
    if (term.empty() || term.size() % 3 != 0) return false;
    for (std::size_t n = 0; n < term.size() / 3; ++n)
        if (termConsonant(term, n) < 0) return false;
    return true;
}

bool foundIn(std::string_view term, const std::uint8_t* name, std::size_t length) {
    const std::size_t count = term.size() / 3;
    if (count == 0 || length < 3 * count) return false;
    const int first = termConsonant(term, 0);
    // Every syllable is three bytes, so the k-th one of a run starts 3k bytes further on.
    for (std::size_t i = 0; i + 3 * count <= length; ++i) {
        if (initialAt(name + i, length - i) != first) continue;
        std::size_t n = 1;
        while (n < count &&
               initialAt(name + i + 3 * n, length - i - 3 * n) == termConsonant(term, n))
            ++n;
        if (n == count) return true;
    }
    return false;
}

const std::uint8_t* findHangulLead(const std::uint8_t* text, std::size_t length) {
    const std::uint8_t* at = text;
    const std::uint8_t* const end = text + length;
#if defined(__SSE2__)
    // Sixteen bytes at a time: (byte - 0xEA) below 4 unsigned, or the jamo lead 0xE3.
    const __m128i base = _mm_set1_epi8(static_cast<char>(0xEA));
    const __m128i three = _mm_set1_epi8(3);
    const __m128i jamo = _mm_set1_epi8(static_cast<char>(0xE3));
    for (; end - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i offset = _mm_sub_epi8(bytes, base);
        const __m128i syllable = _mm_cmpeq_epi8(_mm_min_epu8(offset, three), offset);
        const int mask = _mm_movemask_epi8(_mm_or_si128(syllable, _mm_cmpeq_epi8(bytes, jamo)));
        if (mask != 0) return at + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; at < end; ++at)
        if (isLead(*at)) return at;
    return nullptr;
}

} // namespace vesko::InitialConsonants
