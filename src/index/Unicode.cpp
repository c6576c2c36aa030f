// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/Unicode.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <vector>

namespace vesko::Unicode {
namespace {

using UBuffer = std::vector<UChar>;

UBuffer toUtf16(std::string_view bytes) {
    UBuffer out(bytes.size() + 1);
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, bytes.data(),
                         static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &error);
    if (U_FAILURE(error)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::string toUtf8(const UBuffer& text) {
    std::string out(text.size() * 3 + 1, '\0');
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = 0;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &error);
    if (U_FAILURE(error)) return {};
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Runs an ICU transformation that may need a larger destination, retrying once with the
// size ICU asks for.
template <class Transform> UBuffer transformed(const UBuffer& source, Transform&& transform) {
    UBuffer out(source.size() * 2 + 8);
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode error = U_ZERO_ERROR;
        const int32_t length = transform(source, out, error);
        if (error == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(static_cast<std::size_t>(length) + 1);
            continue;
        }
        if (U_FAILURE(error)) return source;
        out.resize(static_cast<std::size_t>(length));
        return out;
    }
    return source;
}

UBuffer nfcOf(const UBuffer& text) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* normalizer = unorm2_getNFCInstance(&error);
    if (U_FAILURE(error)) return text;
    return transformed(text, [&](const UBuffer& in, UBuffer& out, UErrorCode& e) {
        return unorm2_normalize(normalizer, in.data(), static_cast<int32_t>(in.size()), out.data(),
                                static_cast<int32_t>(out.size()), &e);
    });
}

UBuffer nfdOf(const UBuffer& text) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* normalizer = unorm2_getNFDInstance(&error);
    if (U_FAILURE(error)) return text;
    return transformed(text, [&](const UBuffer& in, UBuffer& out, UErrorCode& e) {
        return unorm2_normalize(normalizer, in.data(), static_cast<int32_t>(in.size()), out.data(),
                                static_cast<int32_t>(out.size()), &e);
    });
}

// Every precomposed letter whose decomposition holds a diacritic lies below U+2ADD: most
// names (CJK, Hangul, kana) are cleared without asking ICU for a decomposition.
constexpr UChar32 lastComposedWithDiacritic = 0x2ADC;

// Whether dropping diacritics would change the NFC text.
bool holdsDiacritic(const UBuffer& text) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&error);
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(text.data(), i, length, c);
        if (c < 0xC0) continue;
        if (isDiacritic(static_cast<char32_t>(c))) return true;
        if (c > lastComposedWithDiacritic || U_FAILURE(error)) continue;
        UChar parts[16];
        UErrorCode e = U_ZERO_ERROR;
        const int32_t n = unorm2_getDecomposition(nfd, c, parts, 16, &e);
        for (int32_t k = 0; k < n && U_SUCCESS(e); ++k)
            if (isDiacritic(parts[k])) return true;
    }
    return false;
}

// The NFC text without its diacritics, composed again: "e" with acute becomes "e", while a
// letter whose other marks remain recomposes with them.
UBuffer withoutDiacritics(const UBuffer& text) {
    UBuffer parts = nfdOf(text);
    std::erase_if(parts, [](UChar unit) { return isDiacritic(unit); });
    return nfcOf(parts);
}

UBuffer caseFoldOf(const UBuffer& text) {
    return transformed(text, [](const UBuffer& in, UBuffer& out, UErrorCode& e) {
        return u_strFoldCase(out.data(), static_cast<int32_t>(out.size()), in.data(),
                             static_cast<int32_t>(in.size()), U_FOLD_CASE_DEFAULT, &e);
    });
}

UBuffer lowercaseOf(const UBuffer& text) {
    return transformed(text, [](const UBuffer& in, UBuffer& out, UErrorCode& e) {
        return u_strToLower(out.data(), static_cast<int32_t>(out.size()), in.data(),
                            static_cast<int32_t>(in.size()), "", &e);
    });
}

} // namespace

bool isDiacritic(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

bool isAscii(std::string_view bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80) return false;
    return true;
}

bool isValidUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    const int32_t length = static_cast<int32_t>(bytes.size());
    int32_t i = 0;
    while (i < length) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    return toUtf8(toUtf16(bytes));
}

std::string folded(std::string_view bytes, Diacritics diacritics) {
    if (isAscii(bytes)) {
        std::string out(bytes);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
        return out;
    }
    // Folding can leave marks out of canonical order or decomposed (U+0130 becomes i and
    // U+0307, ahead of a following mark of lower class), so compose once more: the result is
    // NFC and folding it again changes nothing.
    UBuffer text = nfcOf(caseFoldOf(nfcOf(toUtf16(bytes))));
    if (diacritics == Diacritics::ignored && holdsDiacritic(text)) text = withoutDiacritics(text);
    return toUtf8(text);
}

std::string lowercased(std::string_view bytes) {
    if (isAscii(bytes)) return folded(bytes);
    return toUtf8(nfcOf(lowercaseOf(nfcOf(toUtf16(bytes)))));
}

std::string nfc(std::string_view bytes) {
    if (isAscii(bytes)) return std::string(bytes);
    return toUtf8(nfcOf(toUtf16(bytes)));
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    return a == b || nfc(a) == nfc(b);
}

} // namespace vesko::Unicode
