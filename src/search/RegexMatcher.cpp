// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/RegexMatcher.h"

#include "index/Unicode.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace vesko {
namespace {
bool hasStackedRepeats(std::string_view p);
} // namespace

namespace {

// Names are UTF-8 whatever locale the process runs in (the command line never sets one):
// glibc's regex reads characters through the thread's locale, so compiling and matching
// under a UTF-8 one makes `.`, `\W` and bracket expressions see letters, not bytes.
class Utf8Characters {
public:
    Utf8Characters() : previous_(utf8() ? ::uselocale(utf8()) : nullptr) {}
    ~Utf8Characters() {
        if (previous_) ::uselocale(previous_);
    }
    Utf8Characters(const Utf8Characters&) = delete;
    Utf8Characters& operator=(const Utf8Characters&) = delete;

private:
    // Created once and never freed: a read-only value every thread may use.
    static locale_t utf8() {
        static const locale_t locale = [] {
            for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
                if (locale_t made = ::newlocale(LC_CTYPE_MASK, name, locale_t{})) return made;
            return locale_t{};
        }();
        return locale;
    }
    locale_t previous_;
};

} // namespace

RegexMatcher::RegexMatcher(std::string_view typed, bool caseSensitive,
                           Unicode::Diacritics diacritics)
    : caseSensitive_(caseSensitive), diacritics_(diacritics) {
    const std::string prepared =
        caseSensitive ? Unicode::nfc(typed) : foldedPattern(typed, diacritics);
    const std::string_view pattern = prepared;
    if (!(expandedSize(pattern) <= maxExpandedSize)) {
        problem_ = "The pattern is too large once its repeats are written out: use smaller "
                   "counts or fewer nested repeats";
        return;
    }
    if (hasStackedRepeats(pattern)) {
        problem_ = "Two repeats in a row (such as +? or **) are not supported: put the first "
                   "in a group, as in (a+)?";
        return;
    }
    const int flags = REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE);
    const Utf8Characters characters;
    const int code = regcomp(&compiled_, prepared.c_str(), flags);
    ok_ = code == 0;
    if (ok_) {
        required_ = requiredLiteral(pattern, caseSensitive);
        return;
    }
    char message[256] = {};
    regerror(code, &compiled_, message, sizeof message);
    problemCode_ = code;
    problem_ = std::string(message, strnlen(message, sizeof message));
}

RegexMatcher::~RegexMatcher() {
    if (ok_) regfree(&compiled_);
}

bool RegexMatcher::matches(const std::uint8_t* bytes, std::size_t count) const {
    if (!ok_) return false;
    if (!required_.empty() &&
        (count < required_.size() || !memmem(bytes, count, required_.data(), required_.size())))
        return false;
    char local[256];
    std::string heap;
    char* text = local;
    if (count >= sizeof local) {
        heap.resize(count);
        text = heap.data();
    }
    if (count) std::memcpy(text, bytes, count);
    text[count] = '\0';
    const Utf8Characters characters;
    return regexec(&compiled_, text, 0, nullptr, 0) == 0;
}

namespace {

// Index just past the bracket expression that starts at i, or npos when it is unclosed.
std::size_t skipBracket(std::string_view p, std::size_t i) {
    std::size_t j = i + 1;
    if (j < p.size() && p[j] == '^') ++j;
    if (j < p.size() && p[j] == ']') ++j;
    while (j < p.size() && p[j] != ']') {
        if (p[j] == '[' && j + 1 < p.size() &&
            (p[j + 1] == ':' || p[j + 1] == '.' || p[j + 1] == '=')) {
            const std::size_t close = p.find(std::string{p[j + 1], ']'}, j + 2);
            if (close == std::string_view::npos) return close;
            j = close + 2;
        } else {
            ++j;
        }
    }
    return j < p.size() ? j + 1 : std::string_view::npos;
}

// The number of repetitions regcomp spells out for a quantifier at p[i], or 0 when p[i]
// starts none; `next` receives the index after it. {n,m} gives m copies, {n,} n + 1, `+`
// two (x then x*), `*` and `?` one.
double copiesAt(std::string_view p, std::size_t i, std::size_t& next) {
    next = i + 1;
    if (p[i] == '*' || p[i] == '?') return 1;
    if (p[i] == '+') return 2;
    if (p[i] != '{') return 0;
    const std::size_t close = p.find('}', i);
    if (close == std::string_view::npos) return 0;
    double low = 0, high = -1;
    std::size_t j = i + 1;
    // Counts past RE_DUP_MAX fail to compile anyway; the cap only keeps the sum finite.
    auto digit = [](double value, char c) { return std::min(value * 10 + (c - '0'), 1e9); };
    for (; j < close && std::isdigit(static_cast<unsigned char>(p[j])); ++j)
        low = digit(low, p[j]);
    if (j < close && p[j] == ',') {
        high = j + 1 < close ? 0 : -1;
        for (++j; j < close && std::isdigit(static_cast<unsigned char>(p[j])); ++j)
            high = digit(high, p[j]);
    } else {
        high = low;
    }
    if (j != close) return 0;
    next = close + 1;
    return std::max(high < 0 ? low + 1 : high, 1.0);
}

// Whether two repeat operators follow each other ("a+?", "a**", "a{2}*"). POSIX leaves
// their meaning undefined; glibc nests them, and a run of them makes regcomp's closure pass
// take seconds even in a short pattern.
bool hasStackedRepeats(std::string_view p) {
    bool afterRepeat = false;
    for (std::size_t i = 0; i < p.size();) {
        std::size_t next = i + 1;
        const bool repeat = copiesAt(p, i, next) != 0;
        if (repeat && afterRepeat) return true;
        if (!repeat && p[i] == '\\') next = std::min(i + 2, p.size());
        if (!repeat && p[i] == '[') next = std::min(skipBracket(p, i), p.size());
        afterRepeat = repeat;
        i = next;
    }
    return false;
}

} // namespace

// Copies multiply through stacked and nested quantifiers, so the estimate is kept as a
// double: "(ab)+" repeated 64 times would otherwise overflow any integer.
double RegexMatcher::expandedSize(std::string_view p) {
    struct Group {
        double total = 0; // atoms spelled out so far in this group, all branches
        double last = 0;  // of which the last atom, which a quantifier would repeat
    };
    std::vector<Group> groups(1);
    for (std::size_t i = 0; i < p.size();) {
        std::size_t next = i + 1;
        Group& group = groups.back();
        if (const double copies = copiesAt(p, i, next)) {
            group.total += (copies - 1) * group.last;
            group.last *= copies;
        } else if (p[i] == '(') {
            groups.emplace_back();
        } else if (p[i] == ')' && groups.size() > 1) {
            const double inner = group.total + 1;
            groups.pop_back();
            groups.back().total += inner;
            groups.back().last = inner;
        } else if (p[i] == '|') {
            group.last = 0;
        } else if ((static_cast<unsigned char>(p[i]) & 0xC0) == 0x80 && group.last > 0) {
            // The rest of a multibyte character, one atom with its first byte; a stray
            // continuation byte with nothing before it is an atom of its own below.
        } else {
            if (p[i] == '\\') next = std::min(i + 2, p.size());
            if (p[i] == '[') next = std::min(skipBracket(p, i), p.size());
            group.total += 1;
            group.last = 1;
        }
        i = next;
    }
    double total = 0;
    for (const Group& group : groups)
        total += group.total;
    return total;
}

namespace {

// In a locale with multibyte case folding, s, i and k have non-ASCII case partners (long s,
// dotless i, Kelvin sign), so a case-insensitive literal must avoid them to stay certain.
bool isCertainLiteral(char c, bool caseSensitive) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
    return caseSensitive || !std::strchr("sSiIkK", c);
}

// Whether the quantifiers stacked after an atom, from p[from] on, may leave it out. Every
// one counts, not only the first: glibc reads "a+?" as (a+)?.
bool mayBeAbsent(std::string_view p, std::size_t from) {
    for (std::size_t i = from; i < p.size() && p[i] != '\0' && std::strchr("*+?{", p[i]); ++i)
        if (p[i] != '+') return true;
    return false;
}

} // namespace

// Only atoms at the top level that no quantifier makes optional are collected, and any
// alternation gives up: every character of the returned run then occurs in every match.
std::string RegexMatcher::requiredLiteral(std::string_view p, bool caseSensitive) {
    if (p.find('|') != std::string_view::npos) return {};
    std::vector<std::string> runs(1);
    auto breakRun = [&] {
        if (!runs.back().empty()) runs.emplace_back();
    };
    int depth = 0;
    for (std::size_t i = 0; i < p.size();) {
        const char c = p[i];
        char literal = c;
        std::size_t next = i + 1;
        if (c == '\\') {
            if (next >= p.size()) return {};
            literal = p[next++];
            // Letters and digits escape classes and back-references; \` \' \< \> are GNU
            // anchors. None of them is text.
            if (std::isalnum(static_cast<unsigned char>(literal)) || std::strchr("`'<>", literal)) {
                breakRun();
                i = next;
                continue;
            }
        } else if (c == '[' || c == '{') {
            next = c == '[' ? skipBracket(p, i) : p.find('}', i);
            if (next == std::string_view::npos) return {};
            breakRun();
            i = c == '[' ? next : next + 1;
            continue;
        } else if (std::strchr("().^$*+?}", c)) {
            depth += c == '(' ? 1 : (c == ')' && depth > 0 ? -1 : 0);
            breakRun();
            ++i;
            continue;
        }
        const char after = next < p.size() ? p[next] : '\0';
        if (depth > 0 || mayBeAbsent(p, next) || !isCertainLiteral(literal, caseSensitive)) {
            breakRun();
        } else {
            runs.back() += caseSensitive ? literal : static_cast<char>(std::tolower(literal));
            if (after == '+') breakRun();
        }
        i = next;
    }
    std::string longest;
    for (auto& run : runs)
        if (run.size() > longest.size()) longest = std::move(run);
    return longest;
}

namespace {

// The bytes of the UTF-8 character that starts at i (one byte for an invalid lead).
std::size_t characterLength(std::string_view p, std::size_t i) {
    std::size_t n = 1;
    while (i + n < p.size() && (static_cast<unsigned char>(p[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// A bracket expression with its non-ASCII characters folded one to one, so that ranges
// and the bracket's length stay as written.
std::string foldedBracket(std::string_view bracket, Unicode::Diacritics diacritics) {
    std::string out;
    const auto* s = reinterpret_cast<const uint8_t*>(bracket.data());
    const auto length = static_cast<int32_t>(bracket.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0x80) {
            out.append(bracket.substr(start, i - start));
            continue;
        }
        // A letter whose fold is one character takes it (É gives e without diacritics);
        // one that folds to several (ß) keeps its simple fold.
        const std::string whole = Unicode::folded(bracket.substr(start, i - start), diacritics);
        if (!whole.empty() && characterLength(whole, 0) == whole.size()) {
            out += whole;
            continue;
        }
        char encoded[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(encoded, n, u_foldCase(c, U_FOLD_CASE_DEFAULT));
        out.append(encoded, static_cast<std::size_t>(n));
    }
    return out;
}

// Whether the pattern refers back to a group by number, which an added group would
// renumber.
bool hasBackReference(std::string_view p) {
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        if (p[i] != '\\') continue;
        if (p[i + 1] >= '1' && p[i + 1] <= '9') return true;
        ++i;
    }
    return false;
}

bool isRepeat(char c) {
    return c == '*' || c == '+' || c == '?' || c == '{';
}

} // namespace

std::string RegexMatcher::foldedPattern(std::string_view typed, Unicode::Diacritics diacritics) {
    const std::string composed = Unicode::nfc(typed);
    const std::string_view p = composed;
    constexpr std::string_view special = "\\[()|*+?{}.^$";
    const bool mayGroup = !hasBackReference(p);
    std::string out;
    for (std::size_t i = 0; i < p.size();) {
        if (p[i] == '\\') {
            const std::size_t end = i + 1 < p.size() ? i + 1 + characterLength(p, i + 1) : i + 1;
            out.append(p.substr(i, end - i));
            i = end;
        } else if (p[i] == '[') {
            const std::size_t end = std::min(skipBracket(p, i), p.size());
            out += foldedBracket(p.substr(i, end - i), diacritics);
            i = end;
        } else if (special.find(p[i]) != std::string_view::npos) {
            out += p[i++];
        } else {
            std::size_t end = i;
            while (end < p.size() && special.find(p[end]) == std::string_view::npos)
                end += characterLength(p, end);
            // A repeat applies to the run's last character alone, which must stay one atom.
            std::size_t last = end;
            if (end < p.size() && isRepeat(p[end]))
                while (last > i && (static_cast<unsigned char>(p[--last]) & 0xC0) == 0x80) {
                }
            out += Unicode::folded(p.substr(i, last - i), diacritics);
            if (last < end) {
                const std::string tail = Unicode::folded(p.substr(last, end - last), diacritics);
                // A diacritic that folding drops leaves its repeat to the letter before.
                out += tail.size() <= 1 || !mayGroup ? tail : "(" + tail + ")";
            }
            i = end;
        }
    }
    return out;
}

} // namespace vesko
