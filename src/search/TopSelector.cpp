// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/TopSelector.h"

#include "index/Unicode.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesko {
namespace {

// The first eight bytes, zero-padded, as a big-endian integer: when two such keys differ
// they order the texts exactly as a byte-wise comparison (shorter prefix first) would.
std::uint64_t prefixKey(std::string_view text) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, text.data(), std::min<std::size_t>(text.size(), 8));
    std::uint64_t key;
    std::memcpy(&key, bytes, 8);
    if constexpr (std::endian::native == std::endian::little) key = __builtin_bswap64(key);
    return key;
}

int compareText(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

const Column<std::uint32_t>& valueColumnFor(const FileIndex& index, ResultSort::Field field) {
    switch (field) {
    case ResultSort::Field::modified:
        return index.entryModified;
    case ResultSort::Field::created:
        return index.entryCreated;
    case ResultSort::Field::accessed:
        return index.entryAccessed;
    default:
        return index.entrySize;
    }
}

// Match rank and length packed in 32 bits: a name component is far below 2^30 bytes.
constexpr std::uint32_t lengthMask = (1u << 30) - 1;

// The relevance key, smaller first: the use tier, the match rank, then the entry's place
// (noise folder, age, depth), then the name's length.
constexpr int useShift = 48, rankShift = 46, noiseShift = 44, ageShift = 42, depthShift = 32;
constexpr std::uint64_t placeMask =
    ((std::uint64_t{1} << rankShift) - 1) & ~((std::uint64_t{1} << depthShift) - 1);
// A key whose top bits are this belongs to an unused file whose name begins with a needle.
constexpr std::uint64_t unusedPrefixMatch = std::uint64_t{UsedFiles::unusedTier} << 2;

// Modified within a day, a week, a month, or earlier (also unknown or far in the future).
std::uint64_t ageBucket(std::uint32_t modified, std::int64_t now) {
    constexpr std::int64_t day = 86400;
    const std::int64_t age = now - static_cast<std::int64_t>(modified);
    if (modified == 0 || age < -day) return 3;
    return age < day ? 0 : age < 7 * day ? 1 : age < 31 * day ? 2 : 3;
}

} // namespace

TopSelector::TopSelector(std::int64_t limit, ResultSort sort, const FileIndex& index,
                         const NameTable& names, std::string needle, bool foldersFirst,
                         std::string folderKind, KindLookup kindOf)
    : limit_(limit), sort_(sort), index_(index), names_(names), needle_(std::move(needle)),
      foldersFirst_(foldersFirst), kindOf_(std::move(kindOf)),
      usesList_(sort.field == ResultSort::Field::none && !foldersFirst),
      ordersNone_(sort.field == ResultSort::Field::none ||
                  (sort.field == ResultSort::Field::relevance && needle_.empty())) {
    internKind(std::move(folderKind)); // index 0, what every folder gets
    shardStart_.push_back(0);
    for (std::size_t s = 0; s < names.shardsCount(); ++s) {
        const NameTable::Shard& shard = names.shard(s);
        const std::uint32_t count = shard.nameCount(); // read once: later names are not seen
        shards_.push_back({View<std::uint32_t>::of(shard.starts()),
                           View<std::uint8_t>::of(shard.bytes()), count});
        shardStart_.push_back(shardStart_.back() + count);
    }
    const auto reserved = static_cast<std::size_t>(std::clamp<std::int64_t>(limit, 0, 4096));
    if (usesList_)
        list_.reserve(reserved);
    else
        heap_.reserve(reserved);
    entryName_ = View<std::uint32_t>::of(index_.entryName);
    entryDir_ = View<std::uint32_t>::of(index_.entryDir);
    entryFlags_ = View<std::uint8_t>::of(index_.entryFlags);
    dirParent_ = View<std::uint32_t>::of(index_.dirParent);
    dirName_ = View<std::uint32_t>::of(index_.dirName);
    valueColumn_ = View<std::uint32_t>::of(valueColumnFor(index_, sort.field));
    modified_ = View<std::uint32_t>::of(index_.entryModified);
}

void TopSelector::rankWith(Signals given) {
    if (!given.needles.empty()) {
        needle_ = std::move(given.needles.front());
        moreNeedles_.assign(std::make_move_iterator(given.needles.begin() + 1),
                            std::make_move_iterator(given.needles.end()));
    }
    noise_ = std::move(given.noise);
    used_ = given.used && !given.used->empty() ? std::move(given.used) : nullptr;
    now_ = given.now;
    ordersNone_ = sort_.field == ResultSort::Field::none ||
                  (sort_.field == ResultSort::Field::relevance && needle_.empty());
}

void TopSelector::prepareNames(const std::vector<std::uint32_t>& nameIds) {
    switch (sort_.field) {
    case ResultSort::Field::relevance:
        if (needle_.empty() || knownMatched_) return;
        for (const std::uint32_t id : nameIds)
            isPrefixMatch(id);
        return;
    case ResultSort::Field::name:
        for (const std::uint32_t id : nameIds)
            namePrefix(id);
        return;
    case ResultSort::Field::kind:
        for (const std::uint32_t id : nameIds)
            kindIndex(id, false);
        return;
    default:
        return;
    }
}

inline std::uint32_t TopSelector::placeOf(std::uint32_t name) const {
    const std::uint32_t shard = name & 31, position = name >> 5;
    if (shard >= shards_.size() || position >= shards_[shard].count) return noPlace;
    return shardStart_[shard] + position;
}

inline std::string_view TopSelector::lowercaseName(std::uint32_t name) const {
    const std::uint32_t shard = name & 31, position = name >> 5;
    if (shard >= shards_.size() || position >= shards_[shard].count)
        return names_.foldedBytes(name);
    const ShardView& view = shards_[shard];
    const std::uint32_t from = view.starts[position], to = view.starts[position + 1];
    if (from >= to) return {};
    // A name never straddles the mapped and the appended run.
    const std::uint8_t* base = from < view.bytes.mappedCount
                                   ? view.bytes.mapped + from
                                   : view.bytes.extra + (from - view.bytes.mappedCount);
    return {reinterpret_cast<const char*>(base), to - from};
}

inline std::uint32_t TopSelector::nameLength(std::uint32_t name) const {
    return static_cast<std::uint32_t>(lowercaseName(name).size());
}

// The first byte alone settles most names, without a call to memcmp.
inline bool TopSelector::beginsWithOne(std::string_view name, std::string_view needle) const {
    const std::size_t n = needle.size();
    return n != 0 && name.size() >= n && name[0] == needle[0] &&
           (n == 1 || std::memcmp(name.data() + 1, needle.data() + 1, n - 1) == 0);
}

inline bool TopSelector::beginsWithNeedle(std::string_view name) const {
    if (beginsWithOne(name, needle_)) return true;
    for (const std::string& more : moreNeedles_)
        if (beginsWithOne(name, more)) return true;
    return false;
}

inline bool TopSelector::mayBeUsed(std::uint32_t name) const {
    if (!used_) return false;
    if (knownUsed_ && (name >> 6) < knownUsed_->size())
        return (*knownUsed_)[name >> 6] >> (name & 63) & 1;
    return used_->mayName(lowercaseName(name));
}

// Noise folder, age and depth, in their places of the relevance key.
inline std::uint64_t TopSelector::placeKey(std::size_t entry, std::uint32_t directory) {
    std::uint64_t key = static_cast<std::uint64_t>(depthOf(directory)) << depthShift;
    if (noise_ && noise_->isNoise(directory)) key |= std::uint64_t{1} << noiseShift;
    if (now_ != 0) key |= ageBucket(modified_[entry], now_) << ageShift;
    return key;
}

// The two caches every hit of a large relevance search is tested against; their misses are
// filled out of line.
inline bool TopSelector::isPrefixMatch(std::uint32_t name) {
    if (knownMatched_ && (name >> 6) < knownMatched_->size() &&
        ((*knownMatched_)[name >> 6] >> (name & 63) & 1))
        return (*knownPrefixes_)[name >> 6] >> (name & 63) & 1;
    const std::uint32_t place = placeOf(name);
    if (place != noPlace && !caches_.prefix.empty()) {
        const std::uint64_t word = caches_.prefix[place / 32] >> (place % 32 * 2);
        if (word & 1) return word >> 1 & 1;
    }
    return notePrefixMatch(name);
}

inline int TopSelector::depthOf(std::uint32_t directory) {
    if (noise_) {
        if (const std::uint8_t known = noise_->depth(directory); known != FolderNoise::unknownDepth)
            return known;
    }
    if (directory < caches_.depth.size() && caches_.depth[directory] != Caches::unknownDepth)
        return caches_.depth[directory];
    return walkDepth(directory);
}

int TopSelector::depth(std::uint32_t directory) {
    return depthOf(directory);
}

void TopSelector::absorb(TopSelector& other) {
    for (const Search::Hit hit : other.finish())
        offer(hit);
}

void TopSelector::offer(Search::Hit hit) {
    if (usesList_) {
        if (static_cast<std::int64_t>(list_.size()) < limit_) list_.push_back(hit);
        return;
    }
    if (static_cast<std::int64_t>(heap_.size()) < limit_) {
        heap_.push_back(slotOf(hit));
        siftUp(heap_.size() - 1);
        return;
    }
    if (limit_ < 1 || losesToRoot(hit)) return;
    const Slot slot = slotOf(hit);
    if (!slotPrecedes(slot, heap_[0])) return;
    heap_[0] = slot;
    siftDown(0);
}

void TopSelector::prefetch(std::int64_t entry) const {
    const auto i = static_cast<std::size_t>(entry);
    switch (sort_.field) {
    case ResultSort::Field::relevance:
        if (ordersNone_) return;
        entryDir_.prefetch(i);
        if (now_ != 0) modified_.prefetch(i);
        return;
    case ResultSort::Field::path:
        entryDir_.prefetch(i);
        return;
    case ResultSort::Field::size:
    case ResultSort::Field::modified:
    case ResultSort::Field::created:
    case ResultSort::Field::accessed:
        valueColumn_.prefetch(i);
        return;
    default: // the name, which the walk has just read
        return;
    }
}

// What the root alone decides on a full heap, before the hit's whole key is computed. Under
// relevance the root soon is a prefix match in a shallow folder of the user's own, and then
// most hits are turned away by small per-name and per-directory caches instead of their
// name bytes.
bool TopSelector::losesToRoot(Search::Hit hit) {
    const Slot& root = heap_[0];
    if (foldersFirst_ && hit.isDirectory != root.isDirectory) return !hit.isDirectory;
    if (ordersNone_) return hit.entry > root.entry;
    if (sort_.field != ResultSort::Field::relevance || root.key >> rankShift != unusedPrefixMatch)
        return false;
    const auto i = static_cast<std::size_t>(hit.entry);
    const std::uint32_t name = entryName_[i];
    if (mayBeUsed(name)) return false;
    if (!isPrefixMatch(name)) return true; // a higher rank
    return placeKey(i, entryDir_[i]) > (root.key & placeMask);
}

std::vector<Search::Hit> TopSelector::finish() {
    std::vector<Search::Hit> hits;
    if (usesList_) {
        hits.swap(list_);
        return hits;
    }
    std::sort(heap_.begin(), heap_.end(),
              [this](const Slot& a, const Slot& b) { return slotPrecedes(a, b); });
    hits.reserve(heap_.size());
    for (const Slot& slot : heap_)
        hits.push_back({slot.entry, slot.isDirectory});
    heap_.clear();
    return hits;
}

bool TopSelector::precedes(std::int64_t a, std::int64_t b) {
    auto hit = [this](std::int64_t entry) {
        const bool isDirectory =
            entryFlags_[static_cast<std::size_t>(entry)] & EntryFlags::directoryBit;
        return Search::Hit{entry, isDirectory};
    };
    const Slot x = slotOf(hit(a));
    const Slot y = slotOf(hit(b));
    return slotPrecedes(x, y);
}

std::size_t TopSelector::cacheBytes() const {
    const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    std::size_t total = bytes(caches_.path) + bytes(caches_.pathPrefix) + bytes(caches_.depth) +
                        bytes(caches_.kind) + bytes(caches_.kindPrefix) + bytes(caches_.relevance) +
                        bytes(caches_.namePrefix) + bytes(caches_.prefix) + bytes(heap_) +
                        bytes(list_);
    for (const auto& path : caches_.path)
        if (path) total += path->capacity();
    return total;
}

std::uint32_t TopSelector::digest(std::int64_t entry) {
    const auto i = static_cast<std::size_t>(entry);
    const bool isDirectory = entryFlags_[i] & EntryFlags::directoryBit;
    const std::uint32_t group = foldersFirst_ && !isDirectory ? 1u << 31 : 0;
    if (ordersNone_) return group;
    const std::uint64_t key = slotOf({entry, isDirectory}).key;
    std::uint32_t bits;
    switch (sort_.field) {
    case ResultSort::Field::relevance:
        // Everything above the length, which stays below 2^30, fits in 18 bits; the length
        // takes the 12 below them.
        return group | static_cast<std::uint32_t>((key >> 32) << 12 |
                                                  std::min<std::uint64_t>(key & lengthMask, 4095));
    case ResultSort::Field::size:
    case ResultSort::Field::modified:
    case ResultSort::Field::created:
    case ResultSort::Field::accessed:
        bits = static_cast<std::uint32_t>(key >> 1); // a 32-bit column
        break;
    default:
        bits = static_cast<std::uint32_t>(key >> 33); // a text's first bytes
        break;
    }
    if (!sort_.ascending) bits = ~bits & 0x7FFFFFFFu;
    return group | bits;
}

TopSelector::Slot TopSelector::slotOf(Search::Hit hit) {
    const auto i = static_cast<std::size_t>(hit.entry);
    Slot slot{0, hit.entry, entryName_[i], 0, hit.isDirectory};
    switch (sort_.field) {
    case ResultSort::Field::relevance:
        if (!needle_.empty()) slot.key = relevanceKey(hit.entry, slot.name, entryDir_[i]);
        break;
    case ResultSort::Field::none:
        break;
    case ResultSort::Field::name:
        slot.key = namePrefix(slot.name);
        break;
    case ResultSort::Field::path:
        slot.aux = entryDir_[i];
        slot.key = pathPrefix(slot.aux);
        break;
    case ResultSort::Field::kind:
        slot.aux = kindIndex(slot.name, hit.isDirectory);
        slot.key = caches_.kindPrefix[slot.aux];
        break;
    default:
        slot.key = valueColumn_[i];
        break;
    }
    return slot;
}

// Name caches are laid out shard by shard, as the name table stores the names, so that a
// pass over names in table order fills them front to back. Names interned after the
// selector was made have no place and are computed each time.
template <class T> T* TopSelector::cacheSlot(std::vector<T>& cache, std::uint32_t name, T unknown) {
    const std::uint32_t place = placeOf(name);
    if (place == noPlace) return nullptr;
    if (cache.empty()) cache.assign(shardStart_.back(), unknown);
    return &cache[place];
}

bool TopSelector::notePrefixMatch(std::uint32_t name) {
    const bool isPrefix = beginsWithNeedle(lowercaseName(name));
    const std::uint32_t place = placeOf(name);
    if (place == noPlace) return isPrefix;
    auto& bits = caches_.prefix;
    if (bits.empty()) bits.assign(shardStart_.back() / 32 + 1, 0);
    bits[place / 32] |= (std::uint64_t{1} | std::uint64_t{isPrefix} << 1) << (place % 32 * 2);
    return isPrefix;
}

// Whether the name begins with the needle needs only its first bytes; the full rank (2 or 3)
// is left for when a comparison needs it, which on a full heap of prefix matches is never.
std::uint32_t TopSelector::relevanceState(std::uint32_t name) {
    // A prefix match's state is its length, cheaper to read than a slot of a cache the size
    // of the name table, which then is only made when a weaker match turns up.
    if (isPrefixMatch(name)) return std::min(nameLength(name), lengthMask);
    std::uint32_t* cached = cacheSlot(caches_.relevance, name, Caches::unknownRelevance);
    if (cached && *cached != Caches::unknownRelevance) return *cached;
    const std::uint32_t state = 1u << 30 | std::min(nameLength(name), lengthMask);
    if (cached) *cached = state;
    return state;
}

// The best match rank over the needles; a prefix of any one is settled before this.
int TopSelector::bestRank(std::uint32_t name) const {
    int rank = names_.matchRank(name, needle_).rank;
    for (std::size_t k = 0; k < moreNeedles_.size() && rank > 0; ++k)
        rank = std::min(rank, names_.matchRank(name, moreNeedles_[k]).rank);
    return rank;
}

std::uint64_t TopSelector::useTier(std::int64_t entry, std::uint32_t name) {
    if (!mayBeUsed(name)) return UsedFiles::unusedTier;
    return static_cast<std::uint64_t>(used_->tier(entry, index_, names_));
}

// Use tier, rank, noise, age, depth, then length, each smaller first, as one integer.
std::uint64_t TopSelector::relevanceKey(std::int64_t entry, std::uint32_t name,
                                        std::uint32_t directory) {
    std::uint32_t packed = relevanceState(name);
    if (packed >> 30 == 1) {
        packed = static_cast<std::uint32_t>(bestRank(name)) << 30 | (packed & lengthMask);
        std::uint32_t* cached = cacheSlot(caches_.relevance, name, Caches::unknownRelevance);
        if (cached && packed != Caches::unknownRelevance) *cached = packed;
    }
    return useTier(entry, name) << useShift |
           static_cast<std::uint64_t>(packed >> 30) << rankShift |
           placeKey(static_cast<std::size_t>(entry), directory) | (packed & lengthMask);
}

std::uint64_t TopSelector::namePrefix(std::uint32_t name) {
    std::uint64_t* cached = cacheSlot(caches_.namePrefix, name, Caches::unknownPrefix);
    if (cached && *cached != Caches::unknownPrefix) return *cached;
    // A key equal to the marker is simply computed again next time.
    const std::uint64_t key = prefixKey(lowercaseName(name));
    if (cached) *cached = key;
    return key;
}

std::uint64_t TopSelector::pathPrefix(std::uint32_t directory) {
    auto& cache = caches_.pathPrefix;
    if (cache.empty()) cache.assign(index_.directoryCount(), Caches::unknownPrefix);
    std::uint64_t& cached = cache[directory];
    if (cached == Caches::unknownPrefix) {
        const std::string& path = directoryPath(directory);
        cached = prefixKey(std::string_view(path).substr(std::min(path.size(), pathKeyOffset())));
    }
    return cached;
}

int TopSelector::compareKeys(const Slot& a, const Slot& b) const {
    if (a.key != b.key) return a.key < b.key ? -1 : 1;
    switch (sort_.field) {
    case ResultSort::Field::relevance:
    case ResultSort::Field::name:
        return names_.compareFolded(a.name, b.name);
    case ResultSort::Field::path:
        // Directories whose paths are equal texts (case variants) order their entries together
        // by name, as one directory would: the order stays transitive.
        if (a.aux != b.aux) {
            if (const int c = compareText(*caches_.path[a.aux], *caches_.path[b.aux])) return c;
        }
        return names_.compareFolded(a.name, b.name);
    case ResultSort::Field::kind:
        // Kind indexes are equal exactly when the texts are.
        if (a.aux != b.aux) return compareText(caches_.kindTexts[a.aux], caches_.kindTexts[b.aux]);
        return names_.compareFolded(a.name, b.name);
    default:
        return 0;
    }
}

// Equal keys fall back to index order in either direction, so the order is total and the
// retained hits do not depend on the order they were offered in.
bool TopSelector::slotPrecedes(const Slot& a, const Slot& b) const {
    if (foldersFirst_ && a.isDirectory != b.isDirectory) return a.isDirectory;
    const int c = ordersNone_ ? 0 : compareKeys(a, b);
    if (c == 0) return a.entry < b.entry;
    // Relevance always puts the better match first, whatever the direction says.
    return sort_.ascending || sort_.field == ResultSort::Field::relevance ? c < 0 : c > 0;
}

void TopSelector::siftUp(std::size_t i) {
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (!slotPrecedes(heap_[parent], heap_[i])) return;
        std::swap(heap_[parent], heap_[i]);
        i = parent;
    }
}

// Moves the node down to where it is shown no later than its children; of two children the
// later in display order rises, the left one winning when neither precedes the other.
void TopSelector::siftDown(std::size_t i) {
    const std::size_t n = heap_.size();
    for (;;) {
        std::size_t pick = i;
        const std::size_t left = 2 * i + 1, right = left + 1;
        if (left < n && slotPrecedes(heap_[pick], heap_[left])) pick = left;
        if (right < n && slotPrecedes(heap_[pick], heap_[right])) pick = right;
        if (pick == i) return;
        std::swap(heap_[i], heap_[pick]);
        i = pick;
    }
}

int TopSelector::walkDepth(std::uint32_t directory) {
    auto& cache = caches_.depth;
    if (cache.empty()) cache.assign(index_.directoryCount(), Caches::unknownDepth);
    if (cache[directory] != Caches::unknownDepth) return cache[directory];
    // Walk up to a known depth or a root, then fill in the walked directories downward.
    chain_.clear();
    std::uint32_t d = directory;
    int known = 0;
    for (;;) {
        if (cache[d] != Caches::unknownDepth) {
            known = cache[d];
            break;
        }
        if (dirParent_[d] == d) {
            cache[d] = 0;
            break;
        }
        if (chain_.size() == maxDepth) { // more than maxDepth steps: only the start is known
            cache[directory] = maxDepth;
            return maxDepth;
        }
        chain_.push_back(d);
        d = dirParent_[d];
    }
    for (std::size_t k = chain_.size(); k-- > 0;) {
        known = std::min(maxDepth, known + 1);
        cache[chain_[k]] = static_cast<std::uint8_t>(known);
    }
    return cache[directory];
}

// Every directory path begins with its root's path, so the bytes all root paths share are
// skipped by the prefix keys: otherwise "/home/user/" alone would fill them.
std::size_t TopSelector::pathKeyOffset() {
    if (pathKeyOffset_) return *pathKeyOffset_;
    std::optional<std::string> common;
    for (std::uint32_t d = 0; d < index_.directoryCount(); ++d) {
        if (dirParent_[d] != d) continue;
        const std::string& root = directoryPath(d);
        if (!common) common = root;
        const auto end = std::mismatch(common->begin(), common->end(), root.begin(), root.end());
        common->erase(end.first, common->end());
    }
    pathKeyOffset_ = common ? common->size() : 0;
    return *pathKeyOffset_;
}

const std::string& TopSelector::directoryPath(std::uint32_t directory) {
    auto& cache = caches_.path;
    if (cache.empty()) cache.resize(index_.directoryCount());
    if (cache[directory]) return *cache[directory];
    chain_.clear();
    std::uint32_t d = directory;
    for (; !cache[d] && dirParent_[d] != d; d = dirParent_[d])
        chain_.push_back(d);
    if (!cache[d]) {
        const auto root = index_.rootPaths.find(d);
        cache[d] = Unicode::folded(root == index_.rootPaths.end() ? "/" : root->second);
    }
    for (std::size_t k = chain_.size(); k-- > 0;) {
        const std::uint32_t child = chain_[k], parent = dirParent_[child];
        const std::string& above = *cache[parent];
        const std::string_view name = names_.foldedBytes(dirName_[child]);
        // A root of "/" contributes no text of its own, so its children do not get "//".
        const bool bareRoot = dirParent_[parent] == parent && above == "/";
        std::string path;
        path.reserve(above.size() + 1 + name.size());
        if (!bareRoot) path = above;
        path += '/';
        path += name;
        cache[child] = std::move(path);
    }
    return *cache[directory];
}

const std::string& TopSelector::kindKey(std::int64_t entry) {
    const auto i = static_cast<std::size_t>(entry);
    const bool isDirectory = entryFlags_[i] & EntryFlags::directoryBit;
    return caches_.kindTexts[kindIndex(entryName_[i], isDirectory)];
}

std::string_view TopSelector::extensionOf(std::string_view lowercaseName) {
    const std::size_t dot = lowercaseName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return lowercaseName.substr(dot + 1);
}

std::uint32_t TopSelector::kindIndex(std::uint32_t name, bool isDirectory) {
    if (isDirectory) return 0;
    std::uint32_t* cached = cacheSlot(caches_.kind, name, Caches::unknownKind);
    if (cached && *cached != Caches::unknownKind) return *cached;
    const std::string_view extension = extensionOf(lowercaseName(name));
    std::uint32_t kind;
    if (extension.empty()) {
        kind = internKind({});
    } else if (auto known = caches_.kindOfExtension.find(extension);
               known != caches_.kindOfExtension.end()) {
        kind = known->second;
    } else {
        kind = internKind(kindOf_ ? kindOf_(extension) : std::string());
        caches_.kindOfExtension.emplace(extension, kind);
    }
    if (cached) *cached = kind;
    return kind;
}

std::uint32_t TopSelector::internKind(std::string text) {
    // Compared as code points of the canonically composed text.
    text = Unicode::nfc(text);
    const auto [at, added] =
        caches_.kindOfText.try_emplace(text, static_cast<std::uint32_t>(caches_.kindTexts.size()));
    if (added) {
        caches_.kindPrefix.push_back(prefixKey(text));
        caches_.kindTexts.push_back(std::move(text));
    }
    return at->second;
}

} // namespace vesko
