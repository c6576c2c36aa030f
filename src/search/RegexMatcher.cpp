// SPDX-License-Identifier: MIT
#include "search/RegexMatcher.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace vesko {
namespace {
bool hasStackedRepeats(std::string_view p);
} // namespace

RegexMatcher::RegexMatcher(std::string_view pattern, bool caseSensitive) {
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
    const std::string terminated(pattern);
    const int flags = REG_EXTENDED | REG_NOSUB | (caseSensitive ? 0 : REG_ICASE);
    const int code = regcomp(&compiled_, terminated.c_str(), flags);
    ok_ = code == 0;
    if (ok_) {
        required_ = requiredLiteral(pattern, caseSensitive);
        return;
    }
    char message[256] = {};
    regerror(code, &compiled_, message, sizeof message);
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

} // namespace vesko
