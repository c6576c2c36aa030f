// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/NearMatch.h"

#include "search/NameRules.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <bit>

namespace vesko::Search {
namespace {

std::u32string codePoints(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto length = static_cast<std::int32_t>(bytes.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        out.push_back(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
    }
    return out;
}

std::string utf8(std::u32string_view text) {
    std::string out;
    for (const char32_t c : text) {
        std::uint8_t buffer[U8_MAX_LENGTH];
        std::int32_t length = 0;
        U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(c));
        out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    }
    return out;
}

// The state of the bit-parallel walk: bit j of `exact` says the pattern's first j + 1
// characters end at the character just read, of `once` the same with one error; bit j of
// `swap` says the first j characters end one character back and the one just read is the
// pattern's character j + 1, half of a swap the next character may complete.
struct Walk {
    std::uint64_t exact = 0, swap = 0;
    std::uint64_t once = 1; // the first character dropped: matched by nothing, one error

    void step(std::uint64_t mask) {
        const std::uint64_t grown = (exact << 1) | 1;
        const std::uint64_t nextExact = grown & mask;
        once = (((once << 1) | 1) & mask) // a match after an earlier error
               | exact                    // this character is one too many
               | grown                    // this character replaces the pattern's
               | (nextExact << 1)         // the pattern's next character is missing
               | ((swap & mask) << 1);    // this and the last character are swapped
        swap = grown & (mask >> 1);
        exact = nextExact;
    }
};

} // namespace

OneEditMatcher::OneEditMatcher(std::u32string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::uint64_t bit = std::uint64_t{1} << i;
        const char32_t c = pattern[i];
        if (c < 128) {
            ascii_[c] |= bit;
            continue;
        }
        auto known = std::find_if(others_.begin(), others_.end(),
                                  [c](const auto& other) { return other.first == c; });
        if (known == others_.end()) known = others_.insert(others_.end(), {c, 0});
        known->second |= bit;
    }
    last_ = std::uint64_t{1} << (pattern.size() - 1);
}

std::uint64_t OneEditMatcher::maskOf(char32_t c) const {
    if (c < 128) return ascii_[c];
    for (const auto& [other, mask] : others_)
        if (other == c) return mask;
    return 0;
}

bool OneEditMatcher::foundIn(std::u32string_view text) const {
    if (last_ == 1) return true; // one character: dropping it is the one error
    Walk walk;
    for (const char32_t c : text) {
        walk.step(maskOf(c));
        if (walk.once & last_) return true;
    }
    return false;
}

bool OneEditMatcher::foundIn(const std::uint8_t* utf8, std::size_t length) const {
    if (last_ == 1) return true;
    Walk walk;
    const auto end = static_cast<std::int32_t>(length);
    for (std::int32_t i = 0; i < end;) {
        std::uint64_t mask;
        if (utf8[i] < 0x80) {
            mask = ascii_[utf8[i++]];
        } else {
            UChar32 c;
            U8_NEXT(utf8, i, end, c);
            mask = c < 0 ? 0 : maskOf(static_cast<char32_t>(c));
        }
        walk.step(mask);
        if (walk.once & last_) return true;
    }
    return false;
}

namespace {

// How many of a sample of the names hold each piece: the pieces a split makes are searched
// through the whole table, so the split whose pieces are rarest there is chosen.
std::size_t sampledHolders(const std::string& piece, const NameTable& names) {
    constexpr std::uint32_t sample = 4096;
    std::size_t holders = 0;
    for (std::uint32_t s = 0; s < names.shardsCount(); s += 4) {
        const NameTable::Shard& shard = names.shard(s);
        for (std::uint32_t p = 0; p < std::min(shard.nameCount(), sample / 8); ++p)
            holders += containsSubstring(shard.foldedBytes(p), piece);
    }
    return holders;
}

struct Split {
    std::array<std::string, 3> pieces; // before, after, and the needle swapped at the split
};

Split splitAt(std::u32string_view pattern, std::size_t at) {
    std::u32string swapped(pattern);
    std::swap(swapped[at - 1], swapped[at]);
    return {{utf8(pattern.substr(0, at)), utf8(pattern.substr(at)), utf8(swapped)}};
}

Split rarestSplit(std::u32string_view pattern, const NameTable& names) {
    Split best = splitAt(pattern, pattern.size() / 2);
    std::size_t fewest = SIZE_MAX;
    for (std::size_t at = 2; at + 1 < pattern.size(); ++at) {
        Split split = splitAt(pattern, at);
        const std::size_t holders =
            sampledHolders(split.pieces[0], names) + sampledHolders(split.pieces[1], names);
        if (holders < fewest) {
            fewest = holders;
            best = std::move(split);
        }
    }
    return best;
}

} // namespace

// One error leaves one side of any split of the needle whole, unless it swaps the two
// characters either side of the split, which leaves that swapped needle whole: every near
// name holds one of the three, which the substring search finds at its own speed. Only
// those are measured, each once, in id order (a bit per id instead of sorting lists).
std::vector<std::uint32_t> nearNames(std::string_view needle, const NameTable& names) {
    const std::u32string pattern = codePoints(needle);
    if (pattern.size() < nearMatchShortest || pattern.size() > nearMatchLongest) return {};
    std::vector<std::uint64_t> candidate((std::size_t{names.idUpperBound()} >> 6) + 1);
    for (const std::string& piece : rarestSplit(pattern, names).pieces)
        for (const std::uint32_t id : matchingNames(piece, names, nullptr))
            candidate[id >> 6] |= std::uint64_t{1} << (id & 63);
    const OneEditMatcher matcher(pattern);
    std::vector<std::uint32_t> near;
    for (std::size_t word = 0; word < candidate.size(); ++word)
        for (std::uint64_t bits = candidate[word]; bits; bits &= bits - 1) {
            const auto id = static_cast<std::uint32_t>(word * 64 + std::countr_zero(bits));
            const std::string_view name = names.foldedBytes(id);
            if (!containsSubstring(name, needle) &&
                matcher.foundIn(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
                near.push_back(id);
        }
    return near;
}

} // namespace vesko::Search
