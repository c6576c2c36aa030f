// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Highlight.h"

#include "index/Unicode.h"
#include "search/InitialConsonants.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace vesko::Highlight {
namespace {

struct CodePoint {
    UChar32 value;
    std::size_t start; // offset of its first unit in the original text
    std::size_t end;
};

std::vector<CodePoint> decode(std::string_view text) {
    std::vector<CodePoint> out;
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        out.push_back({c < 0 ? 0xFFFD : c, std::size_t(start), std::size_t(i)});
    }
    return out;
}

std::vector<CodePoint> decode(std::u16string_view text) {
    std::vector<CodePoint> out;
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U16_NEXT(text.data(), i, length, c);
        out.push_back({c, std::size_t(start), std::size_t(i)});
    }
    return out;
}

// Runs one ICU transformation into a buffer sized by a first attempt.
template <class Transform> std::u16string transformed(const std::u16string& in, Transform&& run) {
    std::u16string out(in.size() * 3 + 8, u'\0');
    UErrorCode error = U_ZERO_ERROR;
    int32_t length = run(in, out, error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(static_cast<std::size_t>(length) + 1, u'\0');
        error = U_ZERO_ERROR;
        length = run(in, out, error);
    }
    if (U_FAILURE(error)) return in;
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::u16string decomposed(const std::u16string& in) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfd = unorm2_getNFDInstance(&error);
    if (U_FAILURE(error)) return in;
    return transformed(in, [nfd](const std::u16string& s, std::u16string& d, UErrorCode& e) {
        return unorm2_normalize(nfd, s.data(), int32_t(s.size()), d.data(), int32_t(d.size()), &e);
    });
}

std::u16string folded(const std::u16string& in) {
    return transformed(in, [](const std::u16string& s, std::u16string& d, UErrorCode& e) {
        return u_strFoldCase(d.data(), int32_t(d.size()), s.data(), int32_t(s.size()),
                             U_FOLD_CASE_DEFAULT, &e);
    });
}

// Appends the canonical caseless key of the code points: NFD(fold(NFD(x))), without its
// diacritics unless they are to match.
void appendKey(const CodePoint* first, std::size_t count, bool matchDiacritics,
               std::u32string& key) {
    if (count == 1 && first->value < 0x80) {
        key.push_back(static_cast<char32_t>(u_tolower(first->value)));
        return;
    }
    std::u16string units;
    for (std::size_t i = 0; i < count; ++i) {
        UChar pair[2];
        int32_t n = 0;
        U16_APPEND_UNSAFE(pair, n, first[i].value);
        units.append(pair, pair + n);
    }
    const std::u16string done = decomposed(folded(decomposed(units)));
    const auto length = static_cast<int32_t>(done.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(done.data(), i, length, c);
        if (matchDiacritics || !Unicode::isDiacritic(static_cast<char32_t>(c)))
            key.push_back(static_cast<char32_t>(c));
    }
}

// A character with its combining marks: the smallest unit a highlight may cover.
struct Segment {
    std::size_t keyStart, keyEnd;   // in FoldedText::key
    std::size_t textStart, textEnd; // in the original text
};

struct FoldedText {
    std::u32string key;
    std::vector<Segment> segments;
};

FoldedText foldText(const std::vector<CodePoint>& points, bool matchDiacritics) {
    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&error);
    FoldedText text;
    for (std::size_t i = 0; i < points.size();) {
        std::size_t j = i + 1;
        while (j < points.size() && !(nfc && unorm2_hasBoundaryBefore(nfc, points[j].value)))
            ++j;
        const std::size_t keyStart = text.key.size();
        appendKey(&points[i], j - i, matchDiacritics, text.key);
        text.segments.push_back({keyStart, text.key.size(), points[i].start, points[j - 1].end});
        i = j;
    }
    return text;
}

std::u32string termKey(const std::string& term, bool matchDiacritics) {
    const std::vector<CodePoint> points = decode(std::string_view(term));
    std::u32string key;
    if (!points.empty()) appendKey(points.data(), points.size(), matchDiacritics, key);
    return key;
}

// One past the last segment of a hit that starts at segment s, or 0 when there is none.
std::size_t hitEnd(const std::u32string& term, const FoldedText& text, std::size_t s) {
    const std::size_t from = text.segments[s].keyStart;
    if (from + term.size() > text.key.size()) return 0;
    if (text.key.compare(from, term.size(), term) != 0) return 0;
    const std::size_t to = from + term.size();
    std::size_t e = s;
    while (e < text.segments.size() && text.segments[e].keyEnd < to)
        ++e;
    return e < text.segments.size() && text.segments[e].keyEnd == to ? e + 1 : 0;
}

void appendHits(const std::u32string& term, const FoldedText& text, std::vector<Range>& out) {
    for (std::size_t s = 0; s < text.segments.size();) {
        const std::size_t end = hitEnd(term, text, s);
        if (end == 0) {
            ++s;
            continue;
        }
        out.push_back({text.segments[s].textStart, text.segments[end - 1].textEnd});
        s = end;
    }
}

// The initial consonant of a segment holding one Hangul syllable (its key is decomposed:
// leading consonant, vowel, maybe a trailing consonant), or -1. `closesRun` tells that a
// mark follows the syllable, which ends its run as the composed name's matching sees it.
int syllableInitial(const FoldedText& text, const Segment& segment, bool& closesRun) {
    const std::size_t length = segment.keyEnd - segment.keyStart;
    const char32_t* key = text.key.data() + segment.keyStart;
    if (length < 2 || key[0] < 0x1100 || key[0] > 0x1112 || key[1] < 0x1161 || key[1] > 0x1175)
        return -1;
    const bool trailing = length > 2 && key[2] >= 0x11A8 && key[2] <= 0x11C2;
    closesRun = length > (trailing ? 3u : 2u);
    return static_cast<int>(key[0] - 0x1100);
}

// Marks each run of syllables that begin with the consonants of the term, left to right
// without overlap, as literal hits are.
void appendInitialHits(const std::string& term, const FoldedText& text, std::vector<Range>& out) {
    std::vector<int> wanted;
    for (const CodePoint& point : decode(std::string_view(term)))
        wanted.push_back(InitialConsonants::ofJamo(static_cast<char32_t>(point.value)));
    const auto& segments = text.segments;
    for (std::size_t s = 0; s + wanted.size() <= segments.size();) {
        std::size_t n = 0;
        for (bool closes = false; n < wanted.size(); ++n) {
            if (syllableInitial(text, segments[s + n], closes) != wanted[n]) break;
            if (closes && n + 1 < wanted.size()) break;
        }
        if (n < wanted.size()) {
            ++s;
            continue;
        }
        out.push_back({segments[s].textStart, segments[s + n - 1].textEnd});
        s += n;
    }
}

std::vector<Range> merged(std::vector<Range> found) {
    if (found.size() < 2) return found;
    std::stable_sort(found.begin(), found.end(),
                     [](const Range& a, const Range& b) { return a.start < b.start; });
    std::vector<Range> out{found.front()};
    for (std::size_t i = 1; i < found.size(); ++i) {
        if (found[i].start <= out.back().end) {
            out.back().end = std::max(out.back().end, found[i].end);
        } else {
            out.push_back(found[i]);
        }
    }
    return out;
}

std::vector<Range> rangesOf(const std::vector<std::string>& terms,
                            const std::vector<CodePoint>& points, bool initialConsonants,
                            bool matchDiacritics) {
    if (terms.empty() || points.empty()) return {};
    const FoldedText text = foldText(points, matchDiacritics);
    std::vector<Range> found;
    for (const std::string& term : terms) {
        const std::u32string key = termKey(term, matchDiacritics);
        if (!key.empty()) appendHits(key, text, found);
        if (initialConsonants && InitialConsonants::isTerm(term))
            appendInitialHits(term, text, found);
    }
    return merged(std::move(found));
}

} // namespace

std::vector<Range> ranges(const std::vector<std::string>& terms, std::string_view text,
                          bool initialConsonants, bool matchDiacritics) {
    return rangesOf(terms, decode(text), initialConsonants, matchDiacritics);
}

std::vector<Range> ranges(const std::vector<std::string>& terms, std::u16string_view text,
                          bool initialConsonants, bool matchDiacritics) {
    return rangesOf(terms, decode(text), initialConsonants, matchDiacritics);
}

} // namespace vesko::Highlight
