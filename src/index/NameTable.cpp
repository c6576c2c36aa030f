// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/NameTable.h"

#include "index/Unicode.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesko {
namespace {

constexpr std::uint64_t fnvOffset = 0xCBF29CE484222325ull;
constexpr std::uint64_t fnvPrime = 0x100000001B3ull;

std::uint64_t fnv1a(std::string_view bytes) {
    std::uint64_t h = fnvOffset;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= fnvPrime;
    }
    return h;
}

std::uint64_t keyFromHash(std::uint64_t hash, std::size_t length) {
    return hash ^ (static_cast<std::uint64_t>(length) << 56);
}

template <class T>
std::string_view viewOf(const Column<T>& column, std::uint32_t from, std::uint32_t to) {
    if (from >= to) return {};
    const std::size_t mapped = column.mappedCount();
    const T* base =
        from < mapped ? column.mappedBase() + from : column.extraBase() + (from - mapped);
    return {reinterpret_cast<const char*>(base), static_cast<std::size_t>(to - from)};
}

bool isSeparator(unsigned char c) {
    switch (c) {
    case 0x20:
    case 0x28:
    case 0x2B:
    case 0x2D:
    case 0x2E:
    case 0x2F:
    case 0x40:
    case 0x5F:
    case 0x7E:
        return true;
    default:
        return false;
    }
}

template <class T> void appendAll(Column<T>& to, const Column<T>& from) {
    from.forEachRegion([&](const T* p, std::size_t, std::size_t n) { to.append(p, n); });
}

template <class T> Column<T> concurrentCopy(const Column<T>& given) {
    auto column =
        Column<T>::concurrentlyRead(std::span<const T>(given.mappedBase(), given.mappedCount()));
    given.withBases([&](const T*, std::size_t, const T* extra) {
        if (given.extraCount()) column.append(extra, given.extraCount());
    });
    return column;
}

} // namespace

// ---- NameHashIndex ------------------------------------------------------------------

// Kept at most half full: a lookup of a new name (the common case in a scan) then probes
// about two slots with linear probing instead of six at 70%.
void NameHashIndex::insert(std::uint64_t key, std::uint32_t id) {
    if ((count_ + 1) * 2 > slots_.size()) rehash(std::max<std::size_t>(16, slots_.size() * 2));
    place(tagOf(key), id);
}

void NameHashIndex::place(std::uint32_t tag, std::uint32_t id) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = tag >> shift_;
    while (slots_[i].value != empty)
        i = (i + 1) & mask;
    slots_[i] = {tag, id};
    ++count_;
}

void NameHashIndex::clear() {
    prefetchBase_.store(nullptr, std::memory_order_relaxed);
    slots_ = std::vector<Slot>();
    count_ = 0;
    shift_ = 32;
}

void NameHashIndex::prefetch(std::uint64_t key) const {
    const Slot* base = prefetchBase_.load(std::memory_order_relaxed);
    if (!base) return;
    const int shift = prefetchShift_.load(std::memory_order_relaxed);
    __builtin_prefetch(base + (tagOf(key) >> shift));
}

void NameHashIndex::reserve(std::size_t n) {
    std::size_t capacity = 16;
    while (capacity < n * 2)
        capacity *= 2;
    if (capacity > slots_.size()) rehash(capacity);
}

// The slot's bits alone place it again: no name is read while the table grows.
void NameHashIndex::rehash(std::size_t capacity) {
    std::vector<Slot> old(capacity, Slot{0, empty});
    old.swap(slots_);
    shift_ = 32 - std::countr_zero(capacity);
    prefetchBase_.store(slots_.data(), std::memory_order_relaxed);
    prefetchShift_.store(shift_, std::memory_order_relaxed);
    count_ = 0;
    for (const Slot& slot : old)
        if (slot.value != empty) place(slot.tag, slot.value);
}

// ---- Shard --------------------------------------------------------------------------

NameTable::Shard::Shard()
    : bytes_(Column<std::uint8_t>::concurrentlyRead()),
      starts_(Column<std::uint32_t>::concurrentlyRead()),
      display_(Column<std::uint8_t>::concurrentlyRead()),
      displayStarts_(Column<std::uint32_t>::concurrentlyRead()) {
    starts_.append(0u);
    displayStarts_.append(0u);
}

NameTable::Shard::Shard(const RestoredShard& restored)
    : bytes_(concurrentCopy(restored.bytes)), starts_(concurrentCopy(restored.starts)),
      display_(concurrentCopy(restored.display)),
      displayStarts_(concurrentCopy(restored.displayStarts)) {}

std::string_view NameTable::Shard::foldedBytes(std::uint32_t position) const {
    return viewOf(bytes_, starts_[position], starts_[position + 1]);
}

std::string_view NameTable::Shard::displayBytes(std::uint32_t position) const {
    const std::uint32_t from = displayStarts_[position], to = displayStarts_[position + 1];
    return from == to ? foldedBytes(position) : viewOf(display_, from, to);
}

// ---- NameTable ----------------------------------------------------------------------

NameTable::NameTable() {
    shards_.reserve(shardCount);
    for (int i = 0; i < shardCount; ++i)
        shards_.push_back(std::make_unique<Shard>());
}

NameTable::NameTable(const std::vector<RestoredShard>& restored, SharedMappedArchive archive,
                     std::optional<NameBlockFilter> blockFilter)
    : archive_(std::move(archive)), blockFilter_(std::move(blockFilter)) {
    shards_.reserve(restored.size());
    for (const auto& shard : restored)
        shards_.push_back(std::make_unique<Shard>(shard));
}

std::uint64_t NameTable::keyOf(std::string_view displayBytes) {
    return keyFromHash(fnv1a(displayBytes), displayBytes.size());
}

void NameTable::prefetch(const char* bytes, std::size_t length) const {
    const std::uint64_t hash = fnv1a({bytes, length});
    shards_[hash & 31]->index_.prefetch(keyFromHash(hash, length));
}

std::uint32_t NameTable::intern(const char* input, std::size_t length) {
    // One pass: ASCII-folded copy and hash together; the Unicode path only for high bytes.
    char small[64];
    std::string large;
    char* asciiFolded = small;
    if (length > sizeof small) {
        large.resize(length);
        asciiFolded = large.data();
    }
    std::uint64_t hash = fnvOffset;
    bool hasCapital = false, hasHighByte = false;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(input[i]);
        hash = (hash ^ c) * fnvPrime;
        const bool capital = c >= 'A' && c <= 'Z';
        hasCapital |= capital;
        hasHighByte |= c >= 0x80;
        asciiFolded[i] = static_cast<char>(capital ? c + 0x20 : c);
    }
    const std::string_view in(input, length);
    std::string_view lower(asciiFolded, length);
    std::string unicodeLower;
    bool differs = hasCapital;
    if (hasHighByte) {
        unicodeLower = Unicode::folded(in);
        if (unicodeLower != lower) lower = unicodeLower;
        differs = lower != in;
    }

    const std::uint64_t key = keyFromHash(hash, length);
    const std::uint32_t shardNumber = static_cast<std::uint32_t>(hash & 31);
    Shard& shard = *shards_[shardNumber];
    std::lock_guard guard(shard.lock_);
    const auto isName = [&](std::uint32_t id) {
        if (shard.displayBytes(id >> 5) == in) return true;
        shard.hashCollisions_.fetch_add(1, std::memory_order_relaxed);
        return false;
    };
    if (const std::uint32_t* found = shard.index_.find(key, isName)) return *found;

    const std::uint32_t position = shard.nameCount();
    const std::uint64_t bytesEnd = shard.bytes_.count() + lower.size();
    const std::uint64_t displayEnd = shard.display_.count() + (differs ? length : 0);
    if (position >= maxNamesPerShard || bytesEnd > UINT32_MAX || displayEnd > UINT32_MAX)
        throw NameTableFull("name table shard " + std::to_string(shardNumber) +
                            " is full: more names than one index can hold");

    // Publish the bytes before the offsets that make them visible: readers size the shard
    // by `starts`, so it is appended last.
    if (differs) shard.display_.append(reinterpret_cast<const std::uint8_t*>(input), length);
    shard.displayStarts_.append(static_cast<std::uint32_t>(displayEnd));
    shard.bytes_.append(reinterpret_cast<const std::uint8_t*>(lower.data()), lower.size());
    shard.starts_.append(static_cast<std::uint32_t>(bytesEnd));
    const std::uint32_t id = shardNumber | (position << 5);
    shard.index_.insert(key, id);
    return id;
}

std::string NameTable::display(std::uint32_t id) const {
    return Unicode::repairUtf8(displayBytes(id));
}

std::string NameTable::folded(std::uint32_t id) const {
    return Unicode::repairUtf8(foldedBytes(id));
}

MatchRank NameTable::matchRank(std::uint32_t id, std::string_view needle) const {
    const std::string_view name = foldedBytes(id);
    MatchRank result{3, static_cast<std::uint32_t>(name.size())};
    const std::size_t n = needle.size();
    if (n == 0 || name.size() < n) return result;
    if (name.compare(0, n, needle) == 0) {
        result.rank = 0;
        return result;
    }
    for (std::size_t q = 1; q + n <= name.size(); ++q) {
        if (isSeparator(static_cast<unsigned char>(name[q - 1])) &&
            name.compare(q, n, needle) == 0) {
            result.rank = 2;
            return result;
        }
    }
    return result;
}

int NameTable::compareFolded(std::uint32_t a, std::uint32_t b) const {
    const std::string_view x = foldedBytes(a), y = foldedBytes(b);
    // An empty name's view has no data pointer, which memcmp must not be given.
    const std::size_t common = std::min(x.size(), y.size());
    const int c = common ? std::memcmp(x.data(), y.data(), common) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

std::shared_ptr<NameTable> NameTable::snapshot() {
    auto copy = std::make_shared<NameTable>(std::vector<RestoredShard>(shards_.size()));
    for (std::size_t s = 0; s < shards_.size(); ++s) {
        Shard& from = *shards_[s];
        Shard& to = *copy->shards_[s];
        std::lock_guard guard(from.lock_);
        to.bytes_.reserveCapacity(from.bytes_.count());
        to.starts_.reserveCapacity(from.starts_.count());
        to.display_.reserveCapacity(from.display_.count());
        to.displayStarts_.reserveCapacity(from.displayStarts_.count());
        appendAll(to.bytes_, from.bytes_);
        appendAll(to.starts_, from.starts_);
        appendAll(to.display_, from.display_);
        appendAll(to.displayStarts_, from.displayStarts_);
    }
    return copy;
}

void NameTable::rebuildIndexIfNeeded() {
    for (std::size_t s = 0; s < shards_.size(); ++s) {
        Shard& shard = *shards_[s];
        std::lock_guard guard(shard.lock_);
        const std::uint32_t names = shard.nameCount();
        if (!shard.index_.isEmpty() || names == 0) continue;
        shard.index_.reserve(names);
        for (std::uint32_t p = 0; p < names; ++p)
            shard.index_.insert(keyOf(shard.displayBytes(p)),
                                static_cast<std::uint32_t>(s) | (p << 5));
    }
}

void NameTable::releaseIndex() {
    for (auto& shard : shards_) {
        std::lock_guard guard(shard->lock_);
        shard->index_.clear();
    }
}

bool NameTable::hasIndex() {
    bool any = false;
    for (auto& shard : shards_) {
        std::lock_guard guard(shard->lock_);
        any |= !shard->index_.isEmpty();
    }
    return any;
}

void NameTable::releaseRetired() {
    for (auto& shard : shards_) {
        std::lock_guard guard(shard->lock_);
        shard->bytes_.releaseRetired();
        shard->starts_.releaseRetired();
        shard->display_.releaseRetired();
        shard->displayStarts_.releaseRetired();
    }
}

std::int64_t NameTable::uniqueCount() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total += shard->nameCount();
    return total;
}

std::uint32_t NameTable::idUpperBound() const {
    std::uint32_t largest = 0;
    for (const auto& shard : shards_)
        largest = std::max(largest, shard->nameCount());
    return 31u | (largest << 5);
}

std::int64_t NameTable::hashCollisions() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total += shard->hashCollisions_.load(std::memory_order_relaxed);
    return total;
}

std::int64_t NameTable::nameBytes() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total += static_cast<std::int64_t>(shard->bytes_.count());
    return total;
}

std::int64_t NameTable::displayBytes() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total += static_cast<std::int64_t>(shard->display_.count());
    return total;
}

std::int64_t NameTable::startsBytes() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total +=
            4 * static_cast<std::int64_t>(shard->starts_.count() + shard->displayStarts_.count());
    return total;
}

std::int64_t NameTable::mappedNameBytes() const {
    std::int64_t total = 0;
    for (const auto& shard : shards_)
        total +=
            static_cast<std::int64_t>(shard->bytes_.mappedCount() + shard->display_.mappedCount());
    return total;
}

std::int64_t NameTable::hashTableBytes() {
    std::int64_t total = 0;
    for (auto& shard : shards_) {
        std::lock_guard guard(shard->lock_);
        total += static_cast<std::int64_t>(shard->index_.bytes());
    }
    return total;
}

namespace {

std::string offsetsProblem(const Column<std::uint32_t>& starts, std::size_t byteCount,
                           const char* what) {
    if (starts.isEmpty() || starts[0] != 0) return std::string(what) + " do not begin with 0";
    std::uint32_t previous = 0;
    bool backwards = false;
    starts.forEachRegion([&](const std::uint32_t* p, std::size_t, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            backwards |= p[i] < previous;
            previous = p[i];
        }
    });
    if (backwards) return std::string(what) + " go backwards";
    if (previous != byteCount) return std::string(what) + " do not end at the byte count";
    return {};
}

std::string shardProblem(const Column<std::uint8_t>& bytes, const Column<std::uint32_t>& starts,
                         const Column<std::uint8_t>& display,
                         const Column<std::uint32_t>& displayStarts) {
    if (starts.count() != displayStarts.count()) return "starts and displayStarts differ in length";
    std::string problem = offsetsProblem(starts, bytes.count(), "starts");
    if (problem.empty()) problem = offsetsProblem(displayStarts, display.count(), "displayStarts");
    if (problem.empty() && starts.count() - 1 > NameTable::maxNamesPerShard)
        problem = "too many names";
    return problem;
}

} // namespace

std::string NameTable::checkRestored(const RestoredShard& shard) {
    return shardProblem(shard.bytes, shard.starts, shard.display, shard.displayStarts);
}

std::string NameTable::checkInvariants() const {
    for (std::size_t s = 0; s < shards_.size(); ++s) {
        const Shard& shard = *shards_[s];
        const std::string where = "shard " + std::to_string(s);
        std::string problem =
            shardProblem(shard.bytes_, shard.starts_, shard.display_, shard.displayStarts_);
        if (!problem.empty()) return where + ": " + problem;
        for (std::uint32_t p = 0; p < shard.nameCount(); ++p) {
            const std::string_view display = shard.displayBytes(p);
            if ((keyOf(display) & 31) != s)
                return where + ": name " + std::to_string(p) + " is in the wrong shard";
            if (Unicode::folded(display) != shard.foldedBytes(p))
                return where + ": name " + std::to_string(p) + " has a stale folded form";
        }
    }
    return {};
}

} // namespace vesko
