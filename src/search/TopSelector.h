// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the best `limit` hits of one search under a `ResultSort` while the search walks the
// index, in a bounded binary heap whose root is the retained hit that would be shown last,
// and orders them at the end. Also the one definition of "entry a is shown before entry b":
// the sort's key, then index order, so no two entries tie and the hits kept do not depend on
// the order they were offered in (which lets parts of the index be selected apart and
// merged). A copy shares nothing mutable with the original, so copies made after
// `prepareNames` can work on separate threads.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/FolderNoise.h"
#include "search/ResultSort.h"
#include "search/SearchHit.h"
#include "search/UsedFiles.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vesko {

class TopSelector {
public:
    // The localized description of the file type registered for a lowercase extension
    // ("pdf" gives "PDF document"), or the empty text. Called once per distinct extension.
    using KindLookup = std::function<std::string(std::string_view extension)>;

    // Derived keys that need a walk or a lookup, computed once per directory or name for the
    // life of one selector. Each vector is sized on first use. Vectors "by name" are laid out
    // shard by shard in the name table's order, not by name id.
    struct Caches {
        static constexpr std::uint8_t unknownDepth = 0xFF;
        static constexpr std::uint32_t unknownKind = 0xFFFFFFFFu;
        static constexpr std::uint32_t unknownRelevance = 0xFFFFFFFFu;
        static constexpr std::uint64_t unknownPrefix = ~std::uint64_t{0};

        // Looks extensions up by string_view without building a string.
        struct TextHash {
            using is_transparent = void;
            std::size_t operator()(std::string_view text) const {
                return std::hash<std::string_view>{}(text);
            }
        };
        using TextMap = std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>>;

        std::vector<std::optional<std::string>> path; // by directory: lowercase full path
        std::vector<std::uint64_t> pathPrefix;        // by directory: key of `path`
        std::vector<std::uint8_t> depth;              // by directory
        std::vector<std::uint32_t> kind;              // by name: index into kindTexts
        std::deque<std::string> kindTexts;            // distinct descriptions, stable addresses
        std::vector<std::uint64_t> kindPrefix;        // by index into kindTexts
        TextMap kindOfText;
        TextMap kindOfExtension;
        // By name: match state << 30 | byte length, the state being the rank (0, 2, 3)
        // or 1 while only "not a prefix" is known.
        std::vector<std::uint32_t> relevance;
        std::vector<std::uint64_t> namePrefix; // by name: prefix key of the lowercase name
        // By name, two bits each: known, and whether the name begins with the needle. Small
        // enough to stay in cache while every hit of a large search is tested against it.
        std::vector<std::uint64_t> prefix;
    };

    // Depth is counted up to this many parent steps; deeper directories all rank alike.
    static constexpr int maxDepth = FolderNoise::deepest;

    // `needle` is the lowercase substring a plain query looks for; empty for regular
    // expressions, under which relevance orders nothing. The selector keeps a copy of the
    // index value and refers to `names`, which must outlive it.
    TopSelector(std::int64_t limit, ResultSort sort, const FileIndex& index, const NameTable& names,
                std::string needle, bool foldersFirst, std::string folderKind,
                KindLookup kindOf = {});

    // Computes the per-name part of the sort key of these names up front. Given in name-table
    // order (as the name stage lists its matches) this reads the name bytes front to back,
    // instead of at random once per offered entry, which is what dominates `offer` on a
    // large index. Optional: keys of names not given are computed when first needed.
    void prepareNames(const std::vector<std::uint32_t>& nameIds);

    // What relevance weighs besides how the name matches `needle`, in this order: the tier
    // of a file the user acted on (before everything else), the match rank (the best over
    // `needles`, the words of a boolean query; they replace `needle` when given), whether
    // the entry lies in a noise folder, its age against `now` (a day, a week, a month,
    // older; seconds since 1970, 0 for none), then depth and length. Call before offering.
    struct Signals {
        std::vector<std::string> needles;
        std::shared_ptr<const FolderNoise> noise;
        std::shared_ptr<const UsedFiles> used;
        std::int64_t now = 0;
    };
    void rankWith(Signals given);

    // Offers in rising entry order when the sort is `none` without folders first: that one
    // keeps the first `limit` hits it is offered.
    void offer(Search::Hit hit);
    // Starts fetching what offering this entry reads from the columns. An offer reads an
    // entry's folder and dates at places far apart; fetched a few offers ahead, those misses
    // overlap instead of following one another.
    void prefetch(std::int64_t entry) const;
    // Offers the other selector's retained hits, which leaves it empty; afterwards this one
    // holds the best of both. Under sort `none` the other must hold the later entries.
    void absorb(TopSelector& other);
    // Which names begin with the needle, worked out by the caller for the names it matched:
    // one bit per name id in each set. The sets must outlive the selector and its copies.
    void knowPrefixes(const std::vector<std::uint64_t>* matched,
                      const std::vector<std::uint64_t>* prefixes) {
        knownMatched_ = matched;
        knownPrefixes_ = prefixes;
    }
    // Which names may be those of used files, as UsedFiles::mayName says, worked out the same
    // way; outlives the selector and its copies.
    void knowUsedNames(const std::vector<std::uint64_t>* usedNames) { knownUsed_ = usedNames; }
    // The retained hits in display order. The selector is left empty.
    std::vector<Search::Hit> finish();
    std::size_t retainedCount() const { return usesList_ ? list_.size() : heap_.size(); }

    // Whether entry a is shown before entry b; false only when a is b.
    bool precedes(std::int64_t a, std::int64_t b);
    // The entry's place in the order squeezed into 32 bits: when two digests differ, the
    // entry of the smaller is shown first; equal digests leave it to `precedes`.
    std::uint32_t digest(std::int64_t entry);
    // Parent steps from the directory to its root, at most `maxDepth`.
    int depth(std::uint32_t directory);
    // The description sorting by kind uses: `folderKind` for a folder, else that of the
    // extension after the last "." of the lowercase name (none for a leading dot).
    const std::string& kindKey(std::int64_t entry);
    // The directory's full path with every component in lowercase form.
    const std::string& directoryPath(std::uint32_t directory);

    const Caches& caches() const { return caches_; }
    // The bytes the derived keys take, paths and kind texts roughly.
    std::size_t cacheBytes() const;

    // The extension kindKey looks up: after the last ".", empty when there is no dot or the
    // only dot is the first byte.
    static std::string_view extensionOf(std::string_view lowercaseName);

private:
    template <class T> using View = ColumnView<T>;

    // A hit with its sort key computed once, so heap comparisons only read integers and
    // fall back to the name table or the caches on ties.
    struct Slot {
        std::uint64_t key = 0;
        std::int64_t entry = 0;
        std::uint32_t name = 0;
        std::uint32_t aux = 0; // path: directory id; kind: index into kindTexts
        bool isDirectory = false;
    };

    Slot slotOf(Search::Hit hit);
    bool losesToRoot(Search::Hit hit);
    // Three-way comparison of the field keys in ascending sense.
    int compareKeys(const Slot& a, const Slot& b) const;
    bool slotPrecedes(const Slot& a, const Slot& b) const;
    void siftUp(std::size_t i);
    void siftDown(std::size_t i);
    std::uint32_t kindIndex(std::uint32_t name, bool isDirectory);
    std::uint32_t relevanceState(std::uint32_t name);
    std::uint64_t relevanceKey(std::int64_t entry, std::uint32_t name, std::uint32_t directory);
    int bestRank(std::uint32_t name) const;
    std::uint64_t placeKey(std::size_t entry, std::uint32_t directory);
    std::uint64_t useTier(std::int64_t entry, std::uint32_t name);
    bool mayBeUsed(std::uint32_t name) const;
    std::uint64_t namePrefix(std::uint32_t name);
    std::uint64_t pathPrefix(std::uint32_t directory);
    std::size_t pathKeyOffset();
    static constexpr std::uint32_t noPlace = 0xFFFFFFFFu;
    // Where a name's keys live in the name caches, or noPlace for a name interned later.
    std::uint32_t placeOf(std::uint32_t name) const;
    template <class T> T* cacheSlot(std::vector<T>& cache, std::uint32_t name, T unknown);
    std::string_view lowercaseName(std::uint32_t name) const;
    std::uint32_t nameLength(std::uint32_t name) const;
    bool isPrefixMatch(std::uint32_t name);
    bool notePrefixMatch(std::uint32_t name);
    int depthOf(std::uint32_t directory);
    int walkDepth(std::uint32_t directory);
    bool beginsWithNeedle(std::string_view name) const;
    bool beginsWithOne(std::string_view name, std::string_view needle) const;
    std::uint32_t internKind(std::string text);

    std::int64_t limit_;
    ResultSort sort_;
    FileIndex index_;
    const NameTable& names_;
    std::string needle_;
    std::vector<std::string> moreNeedles_; // the other words of a boolean query
    std::shared_ptr<const FolderNoise> noise_;
    std::shared_ptr<const UsedFiles> used_;
    std::int64_t now_ = 0;
    bool foldersFirst_;
    KindLookup kindOf_;
    bool usesList_;   // no ordering at all: the first `limit` hits in index order
    bool ordersNone_; // the field orders nothing; only folders-first can
    Caches caches_;
    std::vector<Search::Hit> list_;
    std::vector<Slot> heap_;
    const std::vector<std::uint64_t>* knownMatched_ = nullptr;
    const std::vector<std::uint64_t>* knownPrefixes_ = nullptr;
    const std::vector<std::uint64_t>* knownUsed_ = nullptr;
    std::vector<std::uint32_t> chain_;         // scratch for the cache walks
    std::optional<std::size_t> pathKeyOffset_; // bytes every directory path shares
    std::vector<std::uint32_t> shardStart_;    // where each shard's names begin in name caches
    // The name table's lowercase columns as they were at construction. Growing a shard keeps
    // its old buffers alive (see Column::concurrentlyRead), so these stay readable below
    // `count` while the updater interns.
    struct ShardView {
        View<std::uint32_t> starts;
        View<std::uint8_t> bytes;
        std::uint32_t count = 0;
    };
    std::vector<ShardView> shards_;

    View<std::uint32_t> entryName_;
    View<std::uint32_t> entryDir_;
    View<std::uint8_t> entryFlags_;
    View<std::uint32_t> dirParent_;
    View<std::uint32_t> dirName_;
    View<std::uint32_t> valueColumn_; // size or date column for those fields
    View<std::uint32_t> modified_;
};

} // namespace vesko
