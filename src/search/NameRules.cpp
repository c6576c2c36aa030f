// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/NameRules.h"

#include "index/ArchiveWindow.h"
#include "index/Unicode.h"
#include "search/InitialConsonants.h"
#include "search/TwoThreads.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vesko::Search {
namespace {

// Calls visit(id, bytes, length) for every name of one shard with a non-zero length, reading
// the columns in place. The count is taken before the column bases so that a concurrent
// intern can only add names beyond it. A name never straddles the mapped and appended runs
// of `bytes`: appends start after the last mapped name.
template <class Visit>
void walkShard(const NameTable::Shard& shard, std::uint32_t shardNumber, Visit& visit) {
    const std::uint32_t count = shard.nameCount();
    if (count == 0) return;
    shard.starts().withBases([&](const std::uint32_t* startsMapped, std::size_t startsMappedCount,
                                 const std::uint32_t* startsExtra) {
        shard.bytes().withBases([&](const std::uint8_t* bytesMapped, std::size_t bytesMappedCount,
                                    const std::uint8_t* bytesExtra) {
            auto startOf = [&](std::uint32_t p) {
                return p < startsMappedCount ? startsMapped[p] : startsExtra[p - startsMappedCount];
            };
            std::uint32_t from = startOf(0);
            for (std::uint32_t p = 0; p < count; ++p) {
                const std::uint32_t to = startOf(p + 1);
                if (to > from) {
                    const std::uint8_t* name = from < bytesMappedCount
                                                   ? bytesMapped + from
                                                   : bytesExtra + (from - bytesMappedCount);
                    visit(shardNumber | (p << 5), name, std::size_t{to - from});
                }
                from = to;
            }
        });
    });
}

// How common a byte is in file names, lowest for the rarest: UTF-8 continuation bytes
// (spread over 64 values), other non-ASCII bytes, ASCII outside the list, then the list,
// ordered by the share of names holding each byte under /usr and in a generated home
// folder (extensions make x, p and t commoner than in prose).
int commonness(std::uint8_t byte) {
    if (byte >= 0x80) return byte < 0xC0 ? 0 : 1;
    constexpr std::string_view rareToCommon = "~=\\&,[](){}'#!;%$^`@+:qzjwvk7968543yxb2fu10 -_"
                                              "hgdmnlrcioaspte.";
    const std::size_t rank = rareToCommon.find(static_cast<char>(byte));
    return rank == std::string_view::npos ? 2 : 3 + static_cast<int>(rank);
}

// The position in the needle of its rarest byte other than at `except`: the one to look for
// first.
std::size_t rarestByte(std::string_view needle, std::size_t except = SIZE_MAX) {
    std::size_t best = except == 0 ? 1 : 0;
    for (std::size_t i = best + 1; i < needle.size(); ++i)
        if (i != except && commonness(static_cast<std::uint8_t>(needle[i])) <
                               commonness(static_cast<std::uint8_t>(needle[best])))
            best = i;
    return best;
}

// From this commonness on (any ASCII byte) testing three bytes of the needle at once, many
// places at a time, is faster than memchr for the rarest: even the rarer letters stop
// memchr often enough in file names ("x" in every docx and xlsx), and the probes touch
// each byte once whatever it holds. Below it (UTF-8 lead and continuation bytes) memchr's
// plain scan wins for the few names outside the needle's script.
const int pairFromCommonness = commonness('<');

// The leftmost occurrence of the needle in [text, text + length), or null: memchr for the
// needle's byte at `key`, then one comparison of the whole needle around each candidate.
// Candidates come in text order, so the first that compares equal is the leftmost.
const std::uint8_t* findNeedle(const std::uint8_t* text, std::size_t length,
                               std::string_view needle, std::size_t key) {
    const std::size_t n = needle.size();
    if (length < n) return nullptr;
    const auto wanted = static_cast<unsigned char>(needle[key]);
    const std::uint8_t* at = text + key;
    const std::uint8_t* const end = text + (length - n) + key + 1;
    while (at < end) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, wanted, end - at));
        if (!at) return nullptr;
        if (n == 1 || std::memcmp(at - key, needle.data(), n) == 0) return at - key;
        ++at;
    }
    return nullptr;
}

// The three rarest bytes of a needle of two or more bytes, by their positions (the third
// repeats the second for a needle of two): compared for many start positions at once, they
// leave few places to compare in full even when each of them alone is common.
struct Probes {
    std::size_t first, second, third;
};

Probes probesOf(std::string_view needle) {
    const std::size_t first = rarestByte(needle), second = rarestByte(needle, first);
    std::size_t third = second;
    for (std::size_t i = 0; i < needle.size(); ++i)
        if (i != first && i != second &&
            (third == second || commonness(static_cast<std::uint8_t>(needle[i])) <
                                    commonness(static_cast<std::uint8_t>(needle[third]))))
            third = i;
    return {first, second, third};
}

#if defined(__x86_64__)
// The leftmost of the starts `block + i` for the set bits i of `mask` where the whole needle
// is found, or null.
const std::uint8_t* firstFullMatch(const std::uint8_t* block, std::uint32_t mask,
                                   std::string_view needle) {
    for (; mask != 0; mask &= mask - 1) {
        const std::uint8_t* start = block + std::countr_zero(mask);
        if (std::memcmp(start, needle.data(), needle.size()) == 0) return start;
    }
    return nullptr;
}

// Which of the thirty-two starts from `block` hold all three probe bytes.
__attribute__((target("avx2"))) inline __m256i
probeBlock(const std::uint8_t* block, Probes probes, __m256i first, __m256i second, __m256i third) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i_u*>(block + probes.first));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i_u*>(block + probes.second));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i_u*>(block + probes.third));
    return _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, second)),
        _mm256_cmpeq_epi8(c, third));
}

// Thirty-two start positions at a time from `at` while all of them and the needle after them
// lie within the text; returns the leftmost full match or null, with `at` where it stopped.
__attribute__((target("avx2"))) const std::uint8_t* probeWide(const std::uint8_t* text,
                                                              std::size_t lastStart,
                                                              std::string_view needle,
                                                              Probes probes, std::size_t& at) {
    const __m256i first = _mm256_set1_epi8(needle[probes.first]);
    const __m256i second = _mm256_set1_epi8(needle[probes.second]);
    const __m256i third = _mm256_set1_epi8(needle[probes.third]);
    const std::uint8_t* block = text + at;
    const std::uint8_t* const last = text + lastStart;
    // Two blocks a turn, tested together: most turns find nothing in either.
    for (; block + 63 <= last; block += 64) {
        const __m256i low = probeBlock(block, probes, first, second, third);
        const __m256i high = probeBlock(block + 32, probes, first, second, third);
        const __m256i any = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(any, any)) continue;
        const auto lowMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
        const auto highMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
        if (const std::uint8_t* hit = firstFullMatch(block, lowMask, needle)) return hit;
        if (const std::uint8_t* hit = firstFullMatch(block + 32, highMask, needle)) return hit;
    }
    for (; block + 31 <= last; block += 32) {
        const __m256i one = probeBlock(block, probes, first, second, third);
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(one));
        if (const std::uint8_t* hit = firstFullMatch(block, mask, needle)) return hit;
    }
    at = static_cast<std::size_t>(block - text);
    return nullptr;
}

bool hasWideVectors() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// findNeedle for a needle of two or more bytes whose rarest byte is common: its probe bytes
// are compared for many start positions at once and only the positions where all agree are
// compared in full, in text order.
const std::uint8_t* findNeedleByProbes(const std::uint8_t* text, std::size_t length,
                                       std::string_view needle, Probes probes) {
    const std::size_t n = needle.size();
    if (length < n) return nullptr;
    const std::size_t lastStart = length - n;
    std::size_t at = 0;
#if defined(__x86_64__)
    if (hasWideVectors())
        if (const std::uint8_t* hit = probeWide(text, lastStart, needle, probes, at)) return hit;
#endif
#if defined(__SSE2__)
    const __m128i keyBytes = _mm_set1_epi8(needle[probes.first]);
    const __m128i otherBytes = _mm_set1_epi8(needle[probes.second]);
    // Sixteen starts from `at` read up to text[at + 15 + n - 1], within the text.
    for (; at + 15 <= lastStart; at += 16) {
        const __m128i a =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + probes.first));
        const __m128i b =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at + probes.second));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, keyBytes), _mm_cmpeq_epi8(b, otherBytes))));
        for (; mask != 0; mask &= mask - 1) {
            const std::uint8_t* start = text + at + std::countr_zero(mask);
            if (std::memcmp(start, needle.data(), n) == 0) return start;
        }
    }
#endif
    const auto wanted = static_cast<std::uint8_t>(needle[probes.first]);
    for (; at <= lastStart; ++at)
        if (text[at + probes.first] == wanted && std::memcmp(text + at, needle.data(), n) == 0)
            return text + at;
    return nullptr;
}

// Calls visit(id, bytes, length) for every name at positions [first, last) of one shard
// that contains the needle, in position order, like walkShard with a substring test but
// without touching the names that lack it: the names' bytes are searched as one text, each
// occurrence is mapped back to its name by a binary search of the starts, and the search
// resumes at the next name. An occurrence that runs past the end of its name proves that
// name has none (any later one would run further). Same reading discipline as walkShard:
// `last` is at most the count taken first, no byte at or beyond the last published name's
// end is read. The text and its starts are read through an ArchiveWindow each, a part at a
// time and no further than the positions asked for; consecutive parts of the text overlap by
// `width` - 1 bytes, so no occurrence falls between.
//
// find(text, length) gives the first occurrence in the text, or null; every occurrence is
// `width` bytes long.
// `Window` is ArchiveWindow, or InPlaceRun where nothing is read from a file.
template <template <class> class Window, class Find, class Visit>
void findInSpanThrough(const NameTable::Shard& shard, std::uint32_t shardNumber,
                       const MappedArchive* archive, Find& find, std::size_t width, Visit& visit,
                       NameBlockFilter::Span span) {
    const std::uint32_t first = span.begin, last = span.end;
    if (first >= last) return;
    shard.starts().withBases([&](const std::uint32_t* startsMapped, std::size_t startsMappedCount,
                                 const std::uint32_t* startsExtra) {
        // The starts are read forward too: no position below `floor` is needed again.
        const std::size_t windowEnd = std::min(std::size_t{last} + 1, startsMappedCount);
        Window<std::uint32_t> starts(archive, windowEnd > first ? startsMapped + first : nullptr,
                                     windowEnd > first ? windowEnd - first : 0);
        auto startAbove = [&](std::uint32_t p, std::uint32_t floor) {
            return p < windowEnd ? starts.element(p - first, floor - first)
                                 : startsExtra[p - startsMappedCount];
        };
        auto startOf = [&](std::uint32_t p) { return startAbove(p, p); };
        // The first position in [from, last] whose name starts at or after `offset`,
        // galloping from `from`: hits of a common needle are mostly a name or two ahead.
        auto firstFrom = [&](std::uint32_t from, std::uint32_t offset) {
            std::uint32_t low = from, step = 1;
            while (low < last && startAbove(low, low) < offset) {
                const std::uint32_t probe = std::min(last, low + step);
                if (startAbove(probe, low) >= offset) {
                    std::uint32_t high = probe; // startOf(low) < offset <= startOf(high)
                    while (high - low > 1) {
                        const std::uint32_t middle = low + (high - low) / 2;
                        (startAbove(middle, low) < offset ? low : high) = middle;
                    }
                    return high;
                }
                low = probe;
                step *= 2;
            }
            return low;
        };
        const std::uint32_t begin = startOf(first), end = startOf(last);
        shard.bytes().withBases([&](const std::uint8_t* bytesMapped, std::size_t bytesMappedCount,
                                    const std::uint8_t* bytesExtra) {
            const auto mappedEnd = static_cast<std::uint32_t>(bytesMappedCount);
            std::uint32_t p = first;
            // Bytes [textStart, limit) of the run that holds bytes from `runStart` on. Names
            // never straddle the two runs, so each run is searched as its own text.
            auto searchRun = [&](const std::uint8_t* run, std::uint32_t runStart,
                                 std::uint32_t textStart, std::uint32_t limit) {
                Window<std::uint8_t> window(archive, run + (textStart - runStart),
                                            limit - textStart);
                std::uint32_t from = textStart; // where the search goes on, at or after startOf(p)
                while (p < last) {
                    from = std::max(from, startOf(p));
                    if (from >= limit || limit - from < width) return;
                    std::size_t length = limit - from;
                    const std::uint8_t* text = window.at(from - textStart, length, 2 * width);
                    const std::uint8_t* hit = find(text, length);
                    if (!hit) {
                        if (length == limit - from) return;
                        from += static_cast<std::uint32_t>(length - (width - 1));
                        continue;
                    }
                    const auto at = from + static_cast<std::uint32_t>(hit - text);
                    p = firstFrom(p, at + 1) - 1; // the name the occurrence starts in
                    const std::uint32_t nameStart = startOf(p), nameEnd = startOf(p + 1);
                    if (at + width <= nameEnd)
                        visit(shardNumber | (p << 5),
                              window.pointer(nameStart - textStart, nameEnd - nameStart),
                              std::size_t{nameEnd - nameStart});
                    ++p;
                }
            };
            if (begin < mappedEnd) searchRun(bytesMapped, 0, begin, std::min(end, mappedEnd));
            if (end > mappedEnd) {
                p = firstFrom(p, mappedEnd);
                searchRun(bytesExtra, mappedEnd, std::max(begin, mappedEnd), end);
            }
        });
    });
}

// The same over the positions of one shard that may hold the needle: all of them, or those
// of the blocks the filter names and the names it does not cover.
template <class Find, class Visit>
void findInShard(const NameTable::Shard& shard, std::uint32_t shardNumber, const NameTable& names,
                 const std::vector<std::uint64_t>* blocks, Find& find, std::size_t width,
                 Visit& visit) {
    const std::uint32_t count = shard.nameCount();
    std::vector<NameBlockFilter::Span> spans{{0, count}};
    if (blocks) spans = names.blockFilter()->spans(*blocks, shardNumber, count);
    const MappedArchive* archive = names.archive();
    for (const NameBlockFilter::Span span : spans) {
        if (archive && archive->fileDescriptor() >= 0)
            findInSpanThrough<ArchiveWindow>(shard, shardNumber, archive, find, width, visit, span);
        else
            findInSpanThrough<InPlaceRun>(shard, shardNumber, archive, find, width, visit, span);
    }
}

#if defined(__x86_64__)
// Where a shard's names follow one another in memory, each matching name found in one pass
// over the bytes: the places where the needle's probe bytes all agree, 64 at a time as one
// mask, swept alongside the names' starts in order. A common needle ("r", "re": half the
// names of a home folder) costs one test per candidate place instead of a new search
// started after every matching name, and a rare one costs the pass alone. The gallop over
// the starts keeps names without a candidate unread. Same order and reading discipline as
// findInSpanThrough, for names held in memory (no block filter, no file to read through).
class NameSweep {
public:
    NameSweep(std::string_view needle, Probes probes) : needle_(needle), probes_(probes) {}

    template <class Visit>
    __attribute__((target("avx2"))) void shard(const NameTable::Shard& shard,
                                               std::uint32_t shardNumber, Visit& visit) const {
        const std::uint32_t count = shard.nameCount();
        if (count == 0) return;
        shard.starts().withBases([&](const std::uint32_t* startsMapped,
                                     std::size_t startsMappedCount,
                                     const std::uint32_t* startsExtra) {
            auto startOf = [&](std::uint32_t p) {
                return p < startsMappedCount ? startsMapped[p] : startsExtra[p - startsMappedCount];
            };
            shard.bytes().withBases([&](const std::uint8_t* bytesMapped,
                                        std::size_t bytesMappedCount,
                                        const std::uint8_t* bytesExtra) {
                const auto mappedEnd = static_cast<std::uint32_t>(bytesMappedCount);
                const std::uint32_t begin = startOf(0), end = startOf(count);
                Cursor<decltype(startOf)> names{startOf, 0, startOf(1), count, shardNumber};
                // Names never straddle the two runs, so each is swept as its own text.
                if (begin < mappedEnd)
                    run(bytesMapped, 0, begin, std::min(end, mappedEnd), names, visit);
                if (end > mappedEnd)
                    run(bytesExtra, mappedEnd, std::max(begin, mappedEnd), end, names, visit);
            });
        });
    }

private:
    // The name that holds the place looked at last: [start of p, end).
    template <class StartOf> struct Cursor {
        StartOf& startOf;
        std::uint32_t p, end, last, shardNumber;

        // Moves to the name that holds `place`, galloping over the names before it.
        void holdPlace(std::uint32_t place) {
            // Candidates of a common needle mostly lie in the next name or the one after.
            for (int near = 0; near < 4; ++near) {
                if (end > place) return;
                end = startOf(++p + 1);
            }
            if (end > place) return;
            std::uint32_t low = p + 1, step = 1; // startOf(low) <= place
            for (;;) {
                const std::uint32_t probe = std::min(last, low + step);
                if (startOf(probe) > place) {
                    std::uint32_t high = probe;
                    while (high - low > 1) {
                        const std::uint32_t middle = low + (high - low) / 2;
                        (startOf(middle) > place ? high : low) = middle;
                    }
                    p = low;
                    end = startOf(high);
                    return;
                }
                low = probe;
                step *= 2;
            }
        }
    };

    // The bytes [from, limit) of the run that holds bytes from `runStart` on.
    template <class Names, class Visit>
    __attribute__((target("avx2"))) void run(const std::uint8_t* text, std::uint32_t runStart,
                                             std::uint32_t from, std::uint32_t limit, Names& names,
                                             Visit& visit) const {
        const auto n = static_cast<std::uint32_t>(needle_.size());
        if (limit - from < n) return;
        // The place after the last one tested: past the name just found, else the next byte.
        auto test = [&](std::uint32_t place) -> std::uint32_t {
            names.holdPlace(place);
            if (place + n > names.end || !holdsNeedleAt(text + (place - runStart)))
                return place + 1;
            const std::uint32_t start = names.startOf(names.p);
            visit(names.shardNumber | (names.p << 5), text + (start - runStart),
                  std::size_t{names.end - start});
            return names.end;
        };
        std::uint32_t after = from; // where the places not yet tested begin
        const __m256i first = _mm256_set1_epi8(needle_[probes_.first]);
        const __m256i second = _mm256_set1_epi8(needle_[probes_.second]);
        const __m256i third = _mm256_set1_epi8(needle_[probes_.third]);
        std::uint32_t block = from;
        // Every place of the block and the needle after it lie within the run.
        for (; limit - block >= 64 + n - 1; block += 64) {
            const std::uint8_t* at = text + (block - runStart);
            const __m256i low = probeBlock(at, probes_, first, second, third);
            const __m256i high = probeBlock(at + 32, probes_, first, second, third);
            std::uint64_t mask =
                static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
                std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
            // The name found last may reach into this block, or past it.
            auto dropBeforeAfter = [&] {
                if (after > block)
                    mask = after - block >= 64 ? 0 : mask & (~std::uint64_t{0} << (after - block));
            };
            for (dropBeforeAfter(); mask != 0; dropBeforeAfter())
                after = test(block + std::countr_zero(mask));
        }
        const auto key = static_cast<std::uint8_t>(needle_[probes_.first]);
        for (std::uint32_t place = std::max(block, after); place <= limit - n;)
            place = text[place - runStart + probes_.first] == key ? test(place) : place + 1;
    }

    // A typed needle is short: a call to memcmp would cost more than the comparison.
    bool holdsNeedleAt(const std::uint8_t* place) const {
        for (std::size_t i = 0; i < needle_.size(); ++i)
            if (place[i] != static_cast<std::uint8_t>(needle_[i])) return false;
        return true;
    }

    std::string_view needle_;
    Probes probes_;
};
#endif

// Below this many names a second thread costs more than it saves.
constexpr std::size_t splitFromNames = 1 << 17;

// work(from, to) over the two halves of [0, count), at once when `split`; the halves'
// results concatenated, so the order is that of one pass.
template <class Work>
std::vector<std::uint32_t> inHalves(std::size_t count, bool split, Work&& work) {
    split = split && count >= 2;
    const std::size_t middle = split ? count / 2 : count;
    std::vector<std::uint32_t> first, second;
    inParallel(
        split, [&] { first = work(std::size_t{0}, middle); },
        [&] { second = work(middle, count); });
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The matched names that begin with `needle`, noted while their bytes are at hand: relevance
// ranks them first, and reading every matched name a second time costs about what matching
// them did. Each half of a split pass notes into its own list.
struct Beginnings {
    std::string_view needle;
    std::vector<std::uint32_t> halves[2];

    // The list of the half that begins at `from`, or null when nobody asked.
    static std::vector<std::uint32_t>* of(Beginnings* beginnings, std::size_t from) {
        return beginnings ? &beginnings->halves[from == 0 ? 0 : 1] : nullptr;
    }
    void note(std::vector<std::uint32_t>* into, std::uint32_t id, const std::uint8_t* name,
              std::size_t length) const {
        // The first byte settles most names without a call to memcmp; the needle is never
        // empty.
        const std::size_t n = needle.size();
        if (into && length >= n && name[0] == static_cast<std::uint8_t>(needle[0]) &&
            std::memcmp(name + 1, needle.data() + 1, n - 1) == 0)
            into->push_back(id);
    }
    std::vector<std::uint32_t> all() && {
        halves[0].insert(halves[0].end(), halves[1].begin(), halves[1].end());
        return std::move(halves[0]);
    }
};

std::size_t publishedNames(const NameTable& names) {
    std::size_t total = 0;
    for (std::size_t s = 0; s < names.shardsCount(); ++s)
        total += names.shard(s).nameCount();
    return total;
}

bool worthSplitting(const NameTable& names) {
    return publishedNames(names) >= splitFromNames;
}

// Whether findAll sweeps the names (NameSweep) rather than searching them one occurrence at
// a time.
bool sweeps(const NameTable& names, bool filtered) {
#if defined(__x86_64__)
    return !filtered && hasWideVectors() &&
           (!names.archive() || names.archive()->fileDescriptor() < 0);
#else
    (void)names, (void)filtered;
    return false;
#endif
}

// Every name that eachInShard(shard, number, visit) visits and that passes test(bytes,
// length), shard 0 first.
template <class Test, class EachInShard>
std::vector<std::uint32_t> collectByShard(const NameTable& names, Test& test, bool parallel,
                                          EachInShard&& eachInShard,
                                          Beginnings* beginnings = nullptr) {
    return inHalves(names.shardsCount(), parallel && worthSplitting(names),
                    [&](std::size_t from, std::size_t to) {
                        std::vector<std::uint32_t> matched;
                        std::vector<std::uint32_t>* begins = Beginnings::of(beginnings, from);
                        auto visit = [&](std::uint32_t id, const std::uint8_t* name,
                                         std::size_t length) {
                            if (!test(name, length)) return;
                            matched.push_back(id);
                            if (begins) beginnings->note(begins, id, name, length);
                        };
                        for (std::size_t s = from; s < to; ++s)
                            eachInShard(names.shard(s), static_cast<std::uint32_t>(s), visit);
                        return matched;
                    });
}

std::size_t blockCount(const std::vector<std::uint64_t>& blocks) {
    std::size_t count = 0;
    for (const std::uint64_t word : blocks)
        count += static_cast<std::size_t>(std::popcount(word));
    return count;
}

// Every name that contains the needle and passes test(bytes, length), in the order of scanAll.
template <class Test>
std::vector<std::uint32_t> findAll(const NameTable& names, std::string_view needle, Test&& test,
                                   bool parallel = true, Beginnings* beginnings = nullptr) {
    // Names that lack a trigram of the needle lie in blocks the filter rules out.
    const NameBlockFilter* filter = names.blockFilter();
    const auto blocks = filter ? filter->blocksHolding(needle) : std::nullopt;
    // A second thread pays only when many blocks remain to be read.
    if (blocks)
        parallel =
            parallel && blockCount(*blocks) * NameBlockFilter::namesPerBlock >= splitFromNames;
    auto collect = [&](auto find) {
        return collectByShard(
            names, test, parallel,
            [&](const auto& shard, std::uint32_t n, auto& visit) {
                findInShard(shard, n, names, blocks ? &*blocks : nullptr, find, needle.size(),
                            visit);
            },
            beginnings);
    };
#if defined(__x86_64__)
    if (sweeps(names, blocks.has_value())) {
        const NameSweep sweep(needle, needle.size() == 1 ? Probes{0, 0, 0} : probesOf(needle));
        return collectByShard(
            names, test, parallel,
            [&](const auto& shard, std::uint32_t n, auto& visit) { sweep.shard(shard, n, visit); },
            beginnings);
    }
#endif
    // One search loop per way of finding, so that neither pays for the other per name.
    const std::size_t key = rarestByte(needle);
    if (needle.size() >= 2 &&
        commonness(static_cast<std::uint8_t>(needle[key])) >= pairFromCommonness) {
        return collect(
            [needle, probes = probesOf(needle)](const std::uint8_t* text, std::size_t length) {
                return findNeedleByProbes(text, length, needle, probes);
            });
    }
    return collect([needle, key](const std::uint8_t* text, std::size_t length) {
        return findNeedle(text, length, needle, key);
    });
}

// Every name that holds a byte able to begin Hangul and passes test(bytes, length), in the
// order of scanAll: the candidates of a consonant term, literal or by initials.
template <class Test> std::vector<std::uint32_t> findHangul(const NameTable& names, Test&& test) {
    auto find = [](const std::uint8_t* text, std::size_t length) {
        return InitialConsonants::findHangulLead(text, length);
    };
    return collectByShard(names, test, true, [&](const auto& shard, std::uint32_t n, auto& visit) {
        findInShard(shard, n, names, nullptr, find, 1, visit);
    });
}

// Every name of the table that passes test(bytes, length), shard 0 first, positions upward.
template <class Test>
std::vector<std::uint32_t> scanAll(const NameTable& names, Test&& test, bool parallel = true) {
    return collectByShard(
        names, test, parallel,
        [](const auto& shard, std::uint32_t n, auto& visit) { walkShard(shard, n, visit); });
}

// Every name of the table whose display bytes, composed to NFC, pass test(bytes, length),
// in the order of scanAll: what a pattern that keeps case is matched against.
template <class Test>
std::vector<std::uint32_t> scanDisplayed(const NameTable& names, Test&& test, bool parallel) {
    return inHalves(
        names.shardsCount(), parallel && worthSplitting(names),
        [&](std::size_t from, std::size_t to) {
            std::vector<std::uint32_t> matched;
            for (auto s = static_cast<std::uint32_t>(from); s < to; ++s) {
                const NameTable::Shard& shard = names.shard(s);
                const std::uint32_t count = shard.nameCount();
                for (std::uint32_t p = 0; p < count; ++p) {
                    const std::string_view shown = shard.displayBytes(p);
                    if (shown.empty()) continue;
                    const std::string composed =
                        Unicode::isAscii(shown) ? std::string() : Unicode::nfc(shown);
                    const std::string_view name =
                        composed.empty() ? shown : std::string_view(composed);
                    if (test(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
                        matched.push_back(s | (p << 5));
                }
            }
            return matched;
        });
}

// The previous matches that still pass, in their stored order. Ids that the table does not
// hold (a narrowing kept across a table replacement) are dropped.
template <class Test>
std::vector<std::uint32_t> scanSome(const NameTable& names, const std::vector<std::uint32_t>& ids,
                                    Test&& test, Beginnings* beginnings = nullptr) {
    return inHalves(ids.size(), ids.size() >= splitFromNames,
                    [&](std::size_t from, std::size_t to) {
                        std::vector<std::uint32_t> matched;
                        std::vector<std::uint32_t>* begins = Beginnings::of(beginnings, from);
                        for (std::size_t i = from; i < to; ++i) {
                            const std::uint32_t id = ids[i];
                            const std::size_t s = id & 31;
                            if (s >= names.shardsCount() || (id >> 5) >= names.shard(s).nameCount())
                                continue;
                            const std::string_view name = names.shard(s).foldedBytes(id >> 5);
                            const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
                            if (name.empty() || !test(bytes, name.size())) continue;
                            matched.push_back(id);
                            if (begins) beginnings->note(begins, id, bytes, name.size());
                        }
                        return matched;
                    });
}

// Terms of which every name the expression matches holds at least one; empty when no such
// list is known (a negation, or an alternative with an unbounded side). Of a conjunction's
// two lists the one with fewer, then longer, terms is kept, as the likelier to be rare.
std::vector<std::string_view> anchorTerms(const QueryExpression& expression) {
    using Kind = QueryExpression::Kind;
    if (expression.kind() == Kind::term) return {expression.bytes()};
    if (expression.kind() != Kind::and_ && expression.kind() != Kind::or_) return {};
    auto left = anchorTerms(expression.left());
    auto right = anchorTerms(expression.right());
    if (expression.kind() == Kind::or_) {
        if (left.empty() || right.empty()) return {};
        left.insert(left.end(), right.begin(), right.end());
        return left;
    }
    if (left.empty() || right.empty()) return left.empty() ? right : left;
    auto shortest = [](const std::vector<std::string_view>& terms) {
        std::size_t n = SIZE_MAX;
        for (const auto term : terms)
            n = std::min(n, term.size());
        return n;
    };
    if (left.size() != right.size()) return left.size() < right.size() ? left : right;
    return shortest(left) >= shortest(right) ? left : right;
}

// Names that hold one of the terms and pass the test, in the order of scanAll: one
// whole-text search per term, merged. Beyond a few terms a single pass over every name
// is cheaper. With `initials`, a consonant term holds in any name that may contain Hangul.
template <class Test>
std::vector<std::uint32_t> findAny(const NameTable& names,
                                   const std::vector<std::string_view>& terms, bool initials,
                                   Test&& test) {
    constexpr std::size_t mostTerms = 4;
    if (terms.empty() || terms.size() > mostTerms) return scanAll(names, test);
    auto inScanOrder = [](std::uint32_t a, std::uint32_t b) {
        return (a & 31) != (b & 31) ? (a & 31) < (b & 31) : (a >> 5) < (b >> 5);
    };
    auto holding = [&](std::string_view term) {
        return initials && InitialConsonants::isTerm(term) ? findHangul(names, test)
                                                           : findAll(names, term, test);
    };
    std::vector<std::uint32_t> found = holding(terms.front());
    for (std::size_t t = 1; t < terms.size(); ++t) {
        const auto more = holding(terms[t]);
        std::vector<std::uint32_t> merged;
        merged.reserve(found.size() + more.size());
        std::set_union(found.begin(), found.end(), more.begin(), more.end(),
                       std::back_inserter(merged), inScanOrder);
        found = std::move(merged);
    }
    return found;
}

// A consonant term matches a name literally or by its syllables' initials.
bool consonantsMatch(std::string_view term, const std::uint8_t* name, std::size_t length) {
    return containsSubstring(name, length, reinterpret_cast<const std::uint8_t*>(term.data()),
                             term.size()) ||
           InitialConsonants::foundIn(term, name, length);
}

// The name folded with its diacritics, which the table does not store: a name stored once
// is already in that form (it has neither capitals nor diacritics), the others are folded
// again from their display bytes into `scratch`.
std::string_view foldedWithDiacritics(const NameTable::Shard& shard, std::uint32_t position,
                                      std::string& scratch) {
    const std::string_view folded = shard.foldedBytes(position);
    const std::string_view display = shard.displayBytes(position);
    if (display == folded) return folded;
    scratch = Unicode::folded(display, Unicode::Diacritics::matched);
    return scratch;
}

// The candidates whose names, folded with their diacritics, pass the rule, in their order.
std::vector<std::uint32_t> passingWithDiacritics(const NameRule& rule, const NameTable& names,
                                                 const std::vector<std::uint32_t>& candidates,
                                                 bool parallel) {
    return inHalves(
        candidates.size(), parallel && candidates.size() >= splitFromNames,
        [&](std::size_t from, std::size_t to) {
            std::vector<std::uint32_t> matched;
            std::string scratch;
            for (std::size_t i = from; i < to; ++i) {
                const std::uint32_t id = candidates[i];
                const std::string_view name =
                    foldedWithDiacritics(names.shard(id & 31), id >> 5, scratch);
                if (rule.matches(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
                    matched.push_back(id);
            }
            return matched;
        });
}

// A rule that keeps diacritics. Whatever holds a term with its diacritics holds the term
// without them, so the stored forms give the candidates (names holding a positive term, or
// every name) and each is then tested in the form the rule reads.
std::vector<std::uint32_t> matchingWithDiacritics(const NameRule& rule, const NameTable& names) {
    auto any = [](const std::uint8_t*, std::size_t) { return true; };
    std::vector<std::string> terms;
    bool parallel = true;
    switch (rule.kind()) {
    case NameRule::Kind::substring:
        terms.push_back(Unicode::folded(rule.needle()));
        break;
    case NameRule::Kind::expression:
        for (const std::string_view term : anchorTerms(*rule.tree()))
            terms.push_back(Unicode::folded(term));
        break;
    case NameRule::Kind::regex:
        if (!rule.matcher() || !rule.matcher()->isValid()) return {};
        if (!rule.matcher()->requiredLiteral().empty())
            terms.push_back(rule.matcher()->requiredLiteral());
        parallel = false; // see the regex case of matchingNames
        break;
    }
    if (std::ranges::any_of(terms, &std::string::empty)) terms.clear(); // diacritics alone
    const std::vector<std::string_view> views(terms.begin(), terms.end());
    return passingWithDiacritics(rule, names, findAny(names, views, rule.initialConsonants(), any),
                                 parallel);
}

} // namespace

bool extends(std::string_view needle, const Narrowing* previous) {
    return previous && previous->query.size() < needle.size() &&
           needle.starts_with(previous->query);
}

std::string normalize(std::string_view text, bool matchDiacritics) {
    return Unicode::folded(text, matchDiacritics ? Unicode::Diacritics::matched
                                                 : Unicode::Diacritics::ignored);
}

std::string nameSegment(std::string_view needle) {
    const std::size_t last = needle.rfind('/');
    if (last == std::string_view::npos) return std::string(needle);
    if (last + 1 < needle.size()) return std::string(needle.substr(last + 1));
    if (last == 0) return {};
    const std::size_t previous = needle.rfind('/', last - 1);
    const std::size_t from = previous == std::string_view::npos ? 0 : previous + 1;
    return std::string(needle.substr(from, last - from));
}

// ---- NameRule -----------------------------------------------------------------------

NameRule NameRule::substring(std::string needle, bool initialConsonants,
                             Unicode::Diacritics diacritics) {
    NameRule rule(Kind::substring);
    rule.initialConsonants_ = initialConsonants && InitialConsonants::isTerm(needle);
    rule.diacritics_ = diacritics;
    rule.needle_ = std::move(needle);
    return rule;
}

NameRule NameRule::expression(QueryExpression tree, bool initialConsonants,
                              Unicode::Diacritics diacritics) {
    NameRule rule(Kind::expression);
    rule.tree_ = std::move(tree);
    rule.initialConsonants_ = initialConsonants;
    rule.diacritics_ = diacritics;
    return rule;
}

NameRule NameRule::regex(std::shared_ptr<const RegexMatcher> matcher) {
    NameRule rule(Kind::regex);
    if (matcher && !matcher->caseSensitive()) rule.diacritics_ = matcher->diacritics();
    rule.matcher_ = std::move(matcher);
    return rule;
}

bool NameRule::matches(const std::uint8_t* name, std::size_t length) const {
    if (length == 0) return false;
    switch (kind_) {
    case Kind::substring:
        if (initialConsonants_) return consonantsMatch(needle_, name, length);
        return !needle_.empty() &&
               containsSubstring(name, length,
                                 reinterpret_cast<const std::uint8_t*>(needle_.data()),
                                 needle_.size());
    case Kind::expression:
        if (!initialConsonants_) return tree_->matches(name, length);
        // The lead-byte check keeps the decoding off every term that is not Hangul.
        return tree_->evaluate([name, length](std::string_view term) {
            if (!term.empty() && static_cast<std::uint8_t>(term.front()) == 0xE3 &&
                InitialConsonants::isTerm(term))
                return consonantsMatch(term, name, length);
            return containsSubstring(
                name, length, reinterpret_cast<const std::uint8_t*>(term.data()), term.size());
        });
    case Kind::regex:
        return matcher_ && matcher_->matches(name, length);
    }
    return false;
}

// ---- Matching -----------------------------------------------------------------------

std::vector<std::uint32_t> matchingNames(std::string_view needle, const NameTable& names,
                                         const Narrowing* previous,
                                         std::optional<std::vector<std::uint32_t>>* beginning) {
    if (needle.empty()) return {};
    std::optional<Beginnings> noted;
    if (beginning) noted.emplace(Beginnings{needle, {}});
    Beginnings* const notes = noted ? &*noted : nullptr;
    auto withBeginnings = [&](std::vector<std::uint32_t> matched) {
        if (notes) *beginning = std::move(*notes).all();
        return matched;
    };
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(needle.data());
    const std::size_t length = needle.size();
    auto test = [bytes, length](const std::uint8_t* name, std::size_t nameLength) {
        return containsSubstring(name, nameLength, bytes, length);
    };
    // Testing the earlier matches one by one costs about ten times a sweep's share per name:
    // while they are many (the second or third key of a common word), sweeping them all anew
    // is cheaper.
    constexpr std::size_t sweepsPerTest = 10;
    if (extends(needle, previous) &&
        (previous->names.size() * sweepsPerTest < publishedNames(names) ||
         !sweeps(names, names.blockFilter() != nullptr)))
        return withBeginnings(scanSome(names, previous->names, test, notes));
    return withBeginnings(findAll(
        names, needle, [](const std::uint8_t*, std::size_t) { return true; }, true, notes));
}

std::vector<std::uint32_t> matchingNames(const NameRule& rule, const NameTable& names,
                                         const Narrowing* previous,
                                         std::optional<std::vector<std::uint32_t>>* beginning) {
    if (rule.diacritics() == Unicode::Diacritics::matched)
        return matchingWithDiacritics(rule, names);
    switch (rule.kind()) {
    case NameRule::Kind::substring: {
        if (!rule.initialConsonants())
            return matchingNames(rule.needle(), names, previous, beginning);
        auto test = [&rule](const std::uint8_t* name, std::size_t length) {
            return rule.matches(name, length);
        };
        // Names found without the initials lack some that a consonant needle matches.
        if (extends(rule.needle(), previous) && previous->initialConsonants)
            return scanSome(names, previous->names, test);
        return findHangul(names, test);
    }
    case NameRule::Kind::expression: {
        auto test = [&rule](const std::uint8_t* name, std::size_t length) {
            return rule.matches(name, length);
        };
        return findAny(names, anchorTerms(*rule.tree()), rule.initialConsonants(), test);
    }
    case NameRule::Kind::regex: {
        const RegexMatcher* matcher = rule.matcher();
        if (!matcher || !matcher->isValid()) return {};
        auto test = [matcher](const std::uint8_t* name, std::size_t length) {
            return matcher->matches(name, length);
        };
        // glibc's regexec holds a lock of the compiled pattern for the whole match, so two
        // threads sharing one pattern would only take turns.
        constexpr bool parallel = false;
        if (matcher->caseSensitive()) return scanDisplayed(names, test, parallel);
        const std::string& literal = matcher->requiredLiteral();
        return literal.empty() ? scanAll(names, test, parallel)
                               : findAll(names, literal, test, parallel);
    }
    }
    return {};
}

std::vector<bool> directoriesUnderMatch(const std::vector<std::uint32_t>& matchedNames,
                                        const FileIndex& index, std::uint32_t idUpperBound) {
    const std::uint32_t directories = index.directoryCount();
    if (directories == 0) return {};
    std::vector<bool> matched(std::size_t{idUpperBound} + 1, false);
    for (const std::uint32_t id : matchedNames)
        if (id < matched.size()) matched[id] = true;
    std::vector<bool> under(directories, false);
    for (std::uint32_t d = 0; d < directories; ++d) {
        const std::uint32_t name = index.dirName[d];
        if (name < matched.size() && matched[name]) {
            under[d] = true;
        } else {
            const std::uint32_t parent = index.dirParent[d];
            under[d] = parent != d && parent < d && under[parent];
        }
    }
    return under;
}

namespace {

// The folded path of a directory with a closing '/', as the paths of its entries begin.
std::string foldedDirectoryPath(std::uint32_t d, const FileIndex& index, const NameTable& names) {
    std::vector<std::string_view> components;
    for (; index.dirParent[d] != d; d = index.dirParent[d])
        components.push_back(names.foldedBytes(index.dirName[d]));
    const auto root = index.rootPaths.find(d);
    std::string path = Unicode::folded(root == index.rootPaths.end() ? "/" : root->second);
    for (auto part = components.rbegin(); part != components.rend(); ++part) {
        if (!path.ends_with('/')) path += '/';
        path += *part;
    }
    if (!path.ends_with('/')) path += '/';
    return path;
}

} // namespace

std::vector<bool> directoriesInsideMatch(const std::vector<std::uint32_t>& matchedNames,
                                         std::string_view needle, const FileIndex& index,
                                         const NameTable& names) {
    const std::uint32_t directories = index.directoryCount();
    if (directories == 0) return {};
    std::vector<bool> matched(std::size_t{names.idUpperBound()} + 1, false);
    for (const std::uint32_t id : matchedNames)
        if (id < matched.size()) matched[id] = true;
    std::vector<bool> inside(directories, false);
    for (std::uint32_t d = 0; d < directories; ++d) {
        const std::uint32_t parent = index.dirParent[d];
        const bool isRoot = parent == d;
        if (!isRoot && parent < d && inside[parent]) {
            inside[d] = true;
            continue;
        }
        const std::uint32_t name = index.dirName[d];
        if (name >= matched.size() || !matched[name]) continue;
        // A root's name is its whole path, so the needle may lie anywhere in it; below a
        // root, an occurrence not at the end would already have marked an ancestor.
        const std::string path = foldedDirectoryPath(d, index, names);
        inside[d] = isRoot ? containsSubstring(path, needle) : path.ends_with(needle);
    }
    return inside;
}

void fillUnder(PathPredicate& path, const std::vector<std::uint32_t>& matchedNames,
               const FileIndex& index, const NameTable& names) {
    if (path.insideFolders)
        path.under = directoriesInsideMatch(matchedNames, path.needle, index, names);
    else if (!path.hasSeparator)
        path.under = directoriesUnderMatch(matchedNames, index, names.idUpperBound());
}

// ---- Choosing the rule --------------------------------------------------------------

namespace {

Unicode::Diacritics diacriticsFor(bool matchDiacritics) {
    return matchDiacritics ? Unicode::Diacritics::matched : Unicode::Diacritics::ignored;
}

void chooseRegex(RuleChoice& choice, std::string_view typed, bool matchCase, bool matchDiacritics) {
    auto matcher =
        std::make_shared<const RegexMatcher>(typed, matchCase, diacriticsFor(matchDiacritics));
    if (!matcher->isValid()) {
        choice.regexProblem = matcher->problem();
        choice.regexProblemCode = matcher->problemCode();
        return;
    }
    choice.rule = NameRule::regex(std::move(matcher));
    choice.narrowable = false;
}

bool chooseExpression(RuleChoice& choice, bool initialConsonants, bool matchDiacritics) {
    const auto diacritics = diacriticsFor(matchDiacritics);
    auto [tree, problem] = QueryExpression::read(choice.query, diacritics);
    choice.queryProblem = problem;
    if (!tree) return false;
    for (const std::string& term : tree->positiveTerms())
        choice.highlightTerms.push_back(Unicode::repairUtf8(term));
    choice.narrowable = tree->allowsNarrowing();
    choice.rule = NameRule::expression(std::move(*tree), initialConsonants, diacritics);
    return true;
}

void chooseSubstring(RuleChoice& choice, bool pathMode, bool initialConsonants,
                     bool matchDiacritics) {
    std::string needle = pathMode ? nameSegment(choice.query) : choice.query;
    if (needle.empty()) return;
    if (pathMode) {
        PathPredicate path;
        // Folder names are compared in the stored form: diacritics count in the name only.
        path.needle = Unicode::folded(choice.query);
        path.hasSeparator = choice.query.find('/') != std::string::npos;
        path.insideFolders = choice.query.ends_with('/');
        choice.path = std::move(path);
    }
    choice.highlightTerms.push_back(Unicode::repairUtf8(needle));
    choice.rule =
        NameRule::substring(std::move(needle), initialConsonants, diacriticsFor(matchDiacritics));
}

} // namespace

RuleChoice chooseRule(std::string_view query, bool matchPath, bool useRegex, bool matchCase,
                      bool initialConsonants, bool matchDiacritics) {
    RuleChoice choice;
    if (query.size() > QueryExpression::maxQueryBytes) {
        choice.queryProblem = QueryProblem::tooLong;
        return choice;
    }
    choice.query = normalize(query, matchDiacritics);
    if (choice.query.empty()) return choice;
    if (useRegex) {
        chooseRegex(choice, query, matchCase, matchDiacritics);
    } else if (!chooseExpression(choice, initialConsonants, matchDiacritics)) {
        chooseSubstring(choice, matchPath || choice.query.find('/') != std::string::npos,
                        initialConsonants, matchDiacritics);
    }
    // Earlier matches are kept in the stored form, which a rule with diacritics does not read.
    if (choice.rule && choice.rule->diacritics() == Unicode::Diacritics::matched)
        choice.narrowable = false;
    return choice;
}

} // namespace vesko::Search
