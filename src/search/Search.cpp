// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/Search.h"

#include "index/ArchiveWindow.h"
#include "search/NearMatch.h"
#include "search/TwoThreads.h"

#include <algorithm>
#include <array>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <limits>

namespace vesko::Search {
namespace {

constexpr std::size_t cancellationStride = 65536;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What every part of the entry walk reads and none writes, prepared once so the per-entry
// path stays branch-light.
struct WalkPlan {
    const FileIndex& index;
    const NameTable& names;
    const Request& request;
    const std::vector<std::uint64_t>& bits;
    // Matched names that begin with a needle, when relevance orders the page: entries of
    // weaker matches are held back until it is known that these do not fill the page.
    const std::vector<std::uint64_t>* firstTier;
    // Matched names that may be a used file's, which outranks every held-back entry.
    const std::vector<std::uint64_t>* usedNames;
    const PathPredicate* path;
    const Sieve* sieve;
    const FolderScope* scope;
    ContentMatcher* content;
    // The hits of a search this one narrows (Narrowing::entries): only these are walked.
    const std::vector<std::uint32_t>* candidates = nullptr;
    // entryName and entryDir share their split: both are mapped by the same load.
    std::size_t mapped = 0;
    const std::uint32_t* nameBase = nullptr;
    const std::uint32_t* nameExtra = nullptr;
    const std::uint32_t* dirBase = nullptr;
    const std::uint32_t* dirExtra = nullptr;
    std::vector<std::uint32_t> dirCopy; // when the two columns are split differently

    void mapColumns() {
        mapped = index.entryName.mappedCount();
        nameBase = index.entryName.mappedBase();
        nameExtra = index.entryName.extraBase();
        if (index.entryDir.mappedCount() == mapped) {
            dirBase = index.entryDir.mappedBase();
            dirExtra = index.entryDir.extraBase();
            return;
        }
        const std::size_t count = index.entryName.count();
        dirCopy.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            dirCopy[i] = index.entryDir[i];
        dirBase = dirCopy.data();
        dirExtra = dirCopy.data() + mapped;
    }
};

// One contiguous range of entries, walked by one thread into its own selector.
struct EntryWalk {
    EntryWalk(const WalkPlan& plan, TopSelector selector)
        : plan(plan), selector(std::move(selector)),
          flags(ColumnView<std::uint8_t>::of(plan.index.entryFlags)), bits(plan.bits.data()),
          firstTier(plan.firstTier ? plan.firstTier->data() : nullptr),
          usedNames(plan.usedNames ? plan.usedNames->data() : nullptr), limit(plan.request.limit),
          keepsAll(plan.request.keepsAll) {}

    const WalkPlan& plan;
    TopSelector selector;
    // Copies of what the loop reads, so that the selector's writes do not make the compiler
    // load them again for every entry.
    const ColumnView<std::uint8_t> flags;
    const std::uint64_t* const bits;
    const std::uint64_t* const firstTier;
    const std::uint64_t* const usedNames;
    const std::int64_t limit;
    const bool keepsAll;
    std::int64_t matches = 0;
    std::vector<std::uint32_t> all; // every hit, when kept
    std::int64_t firstTierHits = 0;
    std::vector<std::uint32_t> heldBack; // weaker matches, offered only when needed
    bool cancelled = false;
    // Hits wait here a few offers, their columns fetched meanwhile (TopSelector::prefetch).
    static constexpr std::size_t queueLength = 16;
    std::array<Hit, queueLength> queue;
    std::size_t queueHead = 0, queued = 0;

    void offer(Hit hit) {
        selector.prefetch(hit.entry);
        if (queued < queueLength) {
            queue[(queueHead + queued++) % queueLength] = hit;
            return;
        }
        selector.offer(queue[queueHead]);
        queue[queueHead] = hit;
        queueHead = (queueHead + 1) % queueLength;
    }

    // The waiting hits, in the order they came.
    void offerQueued() {
        for (; queued > 0; --queued, queueHead = (queueHead + 1) % queueLength)
            selector.offer(queue[queueHead]);
    }

    static bool hasBit(const std::uint64_t* bits, std::uint32_t id) {
        return (bits[id >> 6] >> (id & 63)) & 1;
    }

    // The first position from `p` whose name is matched, or `end`. Its own function, so
    // that everything the loop reads stays in registers.
    static std::size_t nextMatch(const std::uint32_t* nameRun, const std::uint64_t* bits,
                                 std::size_t p, std::size_t end) {
        // Where matches are dense the next one is found before the vectors would pay.
        for (const std::size_t near = std::min(end, p + 8); p < near; ++p)
            if (hasBit(bits, nameRun[p])) return p;
#if defined(__x86_64__)
        if (hasWideVectors()) p = skipUnmatched(nameRun, bits, p, end);
#endif
        while (p < end && !hasBit(bits, nameRun[p]))
            ++p;
        return p;
    }

#if defined(__x86_64__)
    static bool hasWideVectors() {
        static const bool has = __builtin_cpu_supports("avx2");
        return has;
    }

    // Past the runs of eight entries of which none is matched: each name's bit fetched by one
    // gather, the set as 32-bit words (the bit of id i is bit i % 32 of word i / 32 on this
    // little-endian machine).
    __attribute__((target("avx2"))) static std::size_t skipUnmatched(const std::uint32_t* nameRun,
                                                                     const std::uint64_t* bits,
                                                                     std::size_t p,
                                                                     std::size_t end) {
        const __m256i low = _mm256_set1_epi32(31), one = _mm256_set1_epi32(1);
        for (; p + 8 <= end; p += 8) {
            const __m256i ids = _mm256_loadu_si256(reinterpret_cast<const __m256i_u*>(nameRun + p));
            const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(bits),
                                                         _mm256_srli_epi32(ids, 5), 4);
            const __m256i bit = _mm256_srlv_epi32(words, _mm256_and_si256(ids, low));
            if (!_mm256_testz_si256(bit, one)) break;
        }
        return p;
    }
#endif

    // Filters and content, which most searches do not use.
    bool admitsRest(std::int64_t entry, std::uint32_t nameId, const std::uint32_t* dir,
                    bool isDirectory) const {
        if (plan.scope && !plan.scope->contains(*dir)) return false;
        if (plan.path && !admitsEntry(plan.path, hasBit(bits, nameId), *dir,
                                      [&] { return plan.index.foldedPath(entry, plan.names); }))
            return false;
        if (plan.sieve && !plan.sieve->admits(entry, isDirectory)) return false;
        return !plan.content ||
               (!isDirectory && plan.content->matches(plan.index.path(entry, plan.names)));
    }

    // `dir` is read only by a path query or a scope: the directory column stays unread
    // otherwise.
    // `WithUsed`: used names were marked, so the walk without them pays no test for them.
    template <bool WithUsed>
    void visit(std::int64_t entry, std::uint32_t nameId, const std::uint32_t* dir, bool testsRest) {
        const std::uint8_t flagBits = flags[static_cast<std::size_t>(entry)];
        if (flagBits & EntryFlags::deletedBit) return;
        const bool isDirectory = flagBits & EntryFlags::directoryBit;
        if (testsRest && !admitsRest(entry, nameId, dir, isDirectory)) return;
        ++matches;
        if (keepsAll) all.push_back(static_cast<std::uint32_t>(entry));
        if (!firstTier || hasBit(firstTier, nameId)) {
            ++firstTierHits;
            offer({entry, isDirectory});
            // This part alone fills the page with first-tier hits: nothing weaker is shown.
            if (firstTierHits == limit) heldBack = {};
        } else if (WithUsed && hasBit(usedNames, nameId)) {
            offer({entry, isDirectory}); // not counted: the name may be another copy's
        } else if (firstTierHits < limit) {
            heldBack.push_back(static_cast<std::uint32_t>(entry));
        }
    }

    // One run of entries that lies in one buffer; false when the search was cancelled.
    // Outside path mode most entries fail the name bit, so that test stays in the loop and
    // only the entries that pass it pay for the call. The names are read a part at a time
    // (ArchiveWindow); the other columns only where an entry is visited.
    template <bool WithUsed>
    bool walk(const std::uint32_t* nameRun, const std::uint32_t* dirRun, std::size_t start,
              std::size_t length) {
        const bool everyEntry = plan.path != nullptr;
        const bool testsRest = plan.path || plan.sieve || plan.scope || plan.content;
        ArchiveWindow<std::uint32_t> window(plan.index.archive.get(), nameRun, length);
        for (std::size_t block = 0; block < length; block += cancellationStride) {
            if (plan.request.isCancelled && plan.request.isCancelled()) return false;
            const std::size_t end = std::min(length, block + cancellationStride);
            for (std::size_t from = block; from < end;) {
                std::size_t n = end - from;
                const std::uint32_t* part = window.at(from, n);
                for (std::size_t i = 0; i < n; ++i) {
                    if (!everyEntry && (i = nextMatch(part, bits, i, n)) == n) break;
                    visit<WithUsed>(static_cast<std::int64_t>(start + from + i), part[i],
                                    dirRun + from + i, testsRest);
                }
                from += n;
            }
        }
        return true;
    }

    bool walkRun(const std::uint32_t* nameRun, const std::uint32_t* dirRun, std::size_t start,
                 std::size_t length) {
        return usedNames ? walk<true>(nameRun, dirRun, start, length)
                         : walk<false>(nameRun, dirRun, start, length);
    }

    // Entries [begin, end), which may straddle the mapped and the appended run; with
    // candidates, positions [begin, end) of them instead.
    void run(std::size_t begin, std::size_t end) {
        if (plan.candidates) return runOver(begin, end);
        const std::size_t mapped = plan.mapped;
        if (begin < mapped) {
            const std::size_t stop = std::min(end, mapped);
            cancelled = !walkRun(plan.nameBase + begin, plan.dirBase + begin, begin, stop - begin);
            if (cancelled) {
                offerQueued();
                return;
            }
        }
        if (end > mapped) {
            const std::size_t from = std::max(begin, mapped);
            cancelled = !walkRun(plan.nameExtra + (from - mapped), plan.dirExtra + (from - mapped),
                                 from, end - from);
        }
        offerQueued();
    }

    // Each candidate's name looked up where it lies, since they are few and far apart.
    void runOver(std::size_t begin, std::size_t end) {
        cancelled =
            usedNames ? !walkCandidates<true>(begin, end) : !walkCandidates<false>(begin, end);
        offerQueued();
    }

    template <bool WithUsed> bool walkCandidates(std::size_t begin, std::size_t end) {
        const bool testsRest = plan.sieve || plan.scope || plan.content;
        const std::uint32_t* const candidates = plan.candidates->data();
        const std::size_t mapped = plan.mapped;
        for (std::size_t block = begin; block < end; block += cancellationStride) {
            if (plan.request.isCancelled && plan.request.isCancelled()) return false;
            const std::size_t stop = std::min(end, block + cancellationStride);
            for (std::size_t k = block; k < stop; ++k) {
                const std::size_t entry = candidates[k];
                const bool inMapped = entry < mapped;
                const std::uint32_t name =
                    inMapped ? plan.nameBase[entry] : plan.nameExtra[entry - mapped];
                if (!hasBit(bits, name)) continue;
                const std::uint32_t* dir =
                    inMapped ? plan.dirBase + entry : plan.dirExtra + (entry - mapped);
                visit<WithUsed>(static_cast<std::int64_t>(entry), name, dir, testsRest);
            }
        }
        return true;
    }

    void offerHeldBack() {
        for (const std::uint32_t entry : heldBack)
            offer({entry, (flags[entry] & EntryFlags::directoryBit) != 0});
        offerQueued();
        heldBack = {};
    }
};

// The matched names that begin with a needle, and those that may name a used file, as bits
// like `nameBits`: each half of the names on its own thread into its own sets, then joined.
struct NameTiers {
    std::vector<std::uint64_t> prefix;
    std::vector<std::uint64_t> used; // empty without used files
};

// `beginning`: the matched names that begin with the needle, when the name stage noted them.
NameTiers nameTiers(const NameTable& names, const std::vector<std::string>& needles,
                    const UsedFiles* used, const std::vector<std::uint32_t>& matched,
                    const std::vector<std::uint32_t>* beginning, std::uint32_t idUpperBound,
                    bool split) {
    if (beginning && needles.size() == 1 && !used) return {nameBits(*beginning, idUpperBound), {}};
    const std::size_t words = static_cast<std::size_t>(idUpperBound) / 64 + 1;
    NameTiers tiers{std::vector<std::uint64_t>(words, 0), {}};
    NameTiers more{std::vector<std::uint64_t>(split ? words : 0, 0), {}};
    if (used) {
        tiers.used.assign(words, 0);
        more.used.assign(split ? words : 0, 0);
    }
    const std::vector<std::string_view> terms(needles.begin(), needles.end());
    const std::string_view first = terms.front();
    // A plain word without used files, the common case, tests one prefix per name.
    auto markPrefixes = [&](NameTiers& into, std::size_t from, std::size_t to) {
        std::uint64_t* const bits = into.prefix.data();
        for (std::size_t k = from; k < to; ++k) {
            const std::uint32_t id = matched[k];
            if (id <= idUpperBound && names.foldedBytes(id).starts_with(first))
                bits[id >> 6] |= std::uint64_t{1} << (id & 63);
        }
    };
    auto mark = [&](NameTiers& into, std::size_t from, std::size_t to) {
        if (terms.size() == 1 && !used) return markPrefixes(into, from, to);
        for (std::size_t k = from; k < to; ++k) {
            const std::uint32_t id = matched[k];
            if (id > idUpperBound) continue;
            const std::string_view name = names.foldedBytes(id);
            const std::uint64_t bit = std::uint64_t{1} << (id & 63);
            bool isPrefix = name.starts_with(first);
            for (std::size_t w = 1; w < terms.size() && !isPrefix; ++w)
                isPrefix = name.starts_with(terms[w]);
            if (isPrefix) into.prefix[id >> 6] |= bit;
            if (used && used->mayName(name)) into.used[id >> 6] |= bit;
        }
    };
    const std::size_t middle = split ? matched.size() / 2 : matched.size();
    inParallel(
        split, [&] { mark(tiers, 0, middle); }, [&] { mark(more, middle, matched.size()); });
    for (std::size_t w = 0; w < more.prefix.size(); ++w) {
        tiers.prefix[w] |= more.prefix[w];
        if (used) tiers.used[w] |= more.used[w];
    }
    return tiers;
}

// The words relevance ranks by, as the name table stores names (without diacritics): the
// needle of a plain query, the words not under a negation of a boolean one (the first few:
// each costs every weaker hit a comparison), none for a regular expression.
std::vector<std::string> rankingNeedles(const NameRule& rule) {
    constexpr std::size_t most = 8;
    std::vector<std::string> words;
    if (rule.kind() == NameRule::Kind::substring)
        words.push_back(rule.needle());
    else if (rule.kind() == NameRule::Kind::expression)
        words = rule.tree()->positiveTerms();
    std::vector<std::string> needles;
    for (std::string& word : words) {
        if (rule.diacritics() == Unicode::Diacritics::matched) word = Unicode::folded(word);
        if (!word.empty() && std::ranges::find(needles, word) == needles.end())
            needles.push_back(std::move(word));
        if (needles.size() == most) break;
    }
    return needles;
}

// Walks the entries, in two halves on two threads when `split`, and merges the halves'
// pages. Hits of weaker relevance tiers are offered only when the first tier of both halves
// together does not fill the page.
void walkEntries(const WalkPlan& plan, TopSelector&& selector, bool split, Result& result) {
    // The whole list's order is the page's, without the walk's knowledge of this search's names.
    std::optional<TopSelector> order;
    if (plan.request.keepsAll) {
        order.emplace(selector);
        order->knowPrefixes(nullptr, nullptr);
        order->knowUsedNames(nullptr);
    }
    const std::size_t count = plan.index.entryName.count();
    const std::size_t walked = plan.candidates ? plan.candidates->size() : count;
    const std::size_t middle = split ? walked / 2 : walked;
    EntryWalk first{plan, std::move(selector)};
    std::optional<EntryWalk> second;
    if (split) second.emplace(plan, first.selector); // a copy holds the prepared names
    inParallel(
        split, [&] { first.run(0, middle); }, [&] { second->run(middle, walked); });
    const bool cancelled = first.cancelled || (second && second->cancelled);
    std::int64_t firstTierHits = first.firstTierHits;
    result.totalMatches = first.matches;
    if (second) {
        firstTierHits += second->firstTierHits;
        result.totalMatches += second->matches;
    }
    if (!cancelled && firstTierHits < plan.request.limit)
        inParallel(
            split, [&] { first.offerHeldBack(); }, [&] { second->offerHeldBack(); });
    if (second) first.selector.absorb(second->selector);
    result.hits = first.selector.finish();
    result.order.reset();
    if (!order || cancelled) return;
    if (second) first.all.insert(first.all.end(), second->all.begin(), second->all.end());
    // Beyond an eighth of the entries, walking the hits one by one saves little beside the
    // vector walk over all of them, and the copy would cost its memory and its page faults.
    const bool plain = !plan.path && !plan.sieve && !plan.scope && !plan.content;
    if (plain && first.all.size() <= count / 8)
        result.entries = std::make_shared<const std::vector<std::uint32_t>>(first.all);
    result.order =
        std::make_shared<ResultOrder>(std::move(*order), std::move(first.all), result.hits);
}

// Everything after the name stage: the entries whose names matched, through the filters,
// into the page.
void walkMatches(const Request& request, const FileIndex& index, const NameTable& names,
                 const RuleChoice& choice, Result& result,
                 const std::vector<std::uint32_t>* beginning = nullptr,
                 const std::vector<std::uint32_t>* candidates = nullptr) {
    const std::uint32_t idUpperBound = names.idUpperBound();
    const auto bits = nameBits(result.names, idUpperBound);
    const Filters& filters = request.filters;
    const Sieve sieve(filters, names, index, request.now, request.firstWeekday);
    ContentMatcher* content =
        request.content && !request.content->isEmpty() ? request.content : nullptr;
    const std::size_t count = index.entryName.count();
    // The content matcher keeps counters and a file cache of its own: it stays on one thread.
    const bool split = !content && count >= 2 && count >= request.splitFrom;
    TopSelector selector(request.limit, request.sort, index, names, std::string(),
                         request.foldersFirst, request.folderKind, request.kindOf);
    std::optional<NameTiers> tiers;
    if (request.sort.field == ResultSort::Field::relevance) {
        auto needles = rankingNeedles(*choice.rule);
        if (!needles.empty()) {
            const UsedFiles* used = request.usedFiles && !request.usedFiles->empty()
                                        ? request.usedFiles.get()
                                        : nullptr;
            // The stage noted the names beginning with the query's one word, which is then
            // the only needle.
            if (beginning && (needles.size() != 1 || needles.front() != choice.rule->needle()))
                beginning = nullptr;
            tiers = nameTiers(names, needles, used, result.names, beginning, idUpperBound, split);
            result.folderNoise = FolderNoise::of(
                index, names, result.folderNoise ? result.folderNoise : request.folderNoise);
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(request.now.time_since_epoch());
            selector.rankWith(
                {std::move(needles), result.folderNoise, request.usedFiles, seconds.count()});
            selector.knowPrefixes(&bits, &tiers->prefix);
            if (used) selector.knowUsedNames(&tiers->used);
        }
    }
    // Per-name keys up front, so full-heap offers mostly compare integers instead of reading
    // names.
    if (request.sort.field != ResultSort::Field::none || request.foldersFirst)
        selector.prepareNames(result.names);
    // Relevance pages are filled from the names that begin with a needle first.
    const bool tiered =
        tiers && !request.foldersFirst && count <= std::numeric_limits<std::uint32_t>::max();

    WalkPlan plan{.index = index,
                  .names = names,
                  .request = request,
                  .bits = bits,
                  .firstTier = tiered ? &tiers->prefix : nullptr,
                  .usedNames = tiered && !tiers->used.empty() ? &tiers->used : nullptr,
                  .path = choice.path ? &*choice.path : nullptr,
                  .sieve = sieve.isPassthrough() ? nullptr : &sieve,
                  .scope = result.scope.get(),
                  .content = content,
                  .candidates = candidates,
                  .dirCopy = {}};
    plan.mapColumns();
    walkEntries(plan, std::move(selector), split, result);
}

// The earlier search's hits, when they hold every hit of this one: its word extends that
// search's and is matched the same way, by name alone.
const std::vector<std::uint32_t>* candidatesOf(const Request& request, const RuleChoice& choice) {
    const Narrowing* previous = request.previous;
    if (!previous || !previous->entries || choice.path) return nullptr;
    const NameRule& rule = *choice.rule;
    const bool sameWay = rule.kind() == NameRule::Kind::substring &&
                         rule.diacritics() == Unicode::Diacritics::ignored &&
                         (!rule.initialConsonants() || previous->initialConsonants);
    return sameWay && extends(rule.needle(), previous) ? previous->entries.get() : nullptr;
}

// Only a plain word can be mistyped in a way one edit repairs; a path, a pattern or a
// content search says exactly what it wants.
bool wantsNearMatches(const Request& request, const RuleChoice& choice) {
    return request.nearWhenEmpty && choice.rule->kind() == NameRule::Kind::substring &&
           !choice.path && choice.rule->diacritics() == Unicode::Diacritics::ignored &&
           !choice.rule->initialConsonants() && !(request.content && !request.content->isEmpty()) &&
           !(request.isCancelled && request.isCancelled());
}

} // namespace

std::vector<std::uint64_t> nameBits(const std::vector<std::uint32_t>& matched,
                                    std::uint32_t idUpperBound) {
    std::vector<std::uint64_t> bits(static_cast<std::size_t>(idUpperBound) / 64 + 1, 0);
    for (const std::uint32_t id : matched)
        if (id <= idUpperBound) bits[id >> 6] |= std::uint64_t{1} << (id & 63);
    return bits;
}

Result run(const Request& request, const FileIndex& index, const NameTable& names) {
    const auto start = std::chrono::steady_clock::now();
    Result result;
    const Filters& filters = request.filters;
    RuleChoice choice =
        chooseRule(request.query, filters.matchPath, filters.useRegex, filters.matchCase,
                   request.initialConsonants, filters.matchDiacritics);
    result.regexProblem = choice.regexProblem;
    result.regexProblemCode = choice.regexProblemCode;
    result.queryProblem = choice.queryProblem;
    if (!choice.rule) return result;
    result.narrowable = choice.narrowable;
    result.highlightTerms = choice.highlightTerms;
    std::optional<std::vector<std::uint32_t>> beginning;
    const bool ranks = request.sort.field == ResultSort::Field::relevance && !choice.path;
    result.names =
        matchingNames(*choice.rule, names, request.previous, ranks ? &beginning : nullptr);
    if (request.isCancelled && request.isCancelled()) {
        result.duration = secondsSince(start);
        return result;
    }

    if (!request.within.empty()) {
        result.scope = FolderScope::of(index, names, request.within, request.scope);
        if (!result.scope->isResolved()) {
            result.duration = secondsSince(start);
            return result;
        }
    }
    if (choice.path) fillUnder(*choice.path, result.names, index, names);
    if (!result.names.empty() || choice.path)
        walkMatches(request, index, names, choice, result, beginning ? &*beginning : nullptr,
                    candidatesOf(request, choice));
    if (result.totalMatches == 0 && wantsNearMatches(request, choice)) {
        result.names = nearNames(choice.rule->needle(), names);
        result.highlightTerms.clear(); // the word typed is in none of them
        result.narrowable = false;     // a longer word may find exact hits again
        result.nearMatches = !result.names.empty();
        if (result.nearMatches) walkMatches(request, index, names, choice, result);
    }
    result.duration = secondsSince(start);
    return result;
}

} // namespace vesko::Search
