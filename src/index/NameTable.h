// SPDX-License-Identifier: GPL-3.0-or-later
// Every distinct entry name stored once, behind a 32-bit id: a folded form that all
// matching runs over, and the display form as the file system gave it when that differs.
// 32 shards with a lock each let the parallel scan intern from many threads at once.
#pragma once

#include "index/Column.h"
#include "index/MappedArchive.h"
#include "index/NameBlockFilter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

// Thrown by `intern` when a shard has no room left for another name (2^27 - 1 names or
// 4 GiB of bytes): the table is left as it was.
class NameTableFull : public std::length_error {
public:
    using std::length_error::length_error;
};

struct MatchRank {
    int rank = 3;             // 0 prefix, 2 after a separator, 3 elsewhere or absent
    std::uint32_t length = 0; // byte length of the folded name
};

// Open-addressing map from a name's 64-bit key to the ids stored with it. A slot keeps 32
// mixed bits of the key beside the id, eight bytes where the whole key took sixteen: at ten
// million entries that is over a hundred megabytes less. Two names may share those bits, so
// a lookup asks the caller which of the candidates is the name.
class NameHashIndex {
public:
    bool isEmpty() const { return count_ == 0; }
    std::size_t count() const { return count_; }
    // The first id stored under key's bits for which is(id) holds, or nullptr.
    template <class Is> const std::uint32_t* find(std::uint64_t key, Is&& is) const {
        if (count_ == 0) return nullptr;
        const std::uint32_t tag = tagOf(key);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = tag >> shift_;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.value == empty) return nullptr;
            if (slot.tag == tag && is(slot.value)) return &slot.value;
        }
    }
    // Stores key -> id; the caller knows the name is not stored yet.
    void insert(std::uint64_t key, std::uint32_t id);
    void reserve(std::size_t n);
    // Empty again, its memory returned.
    void clear();
    // Asks the processor for the slot a lookup of key starts at. Safe without the lock and
    // against a concurrent rehash: a prefetch of a stale or wrong address never faults.
    void prefetch(std::uint64_t key) const;
    std::size_t bytes() const { return slots_.capacity() * sizeof(Slot); }

    // The bits of key a slot keeps. Keys of one shard share their low five bits, so they are
    // mixed first; the top bits of the result choose the slot.
    static std::uint32_t tagOf(std::uint64_t key) {
        return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 32);
    }

private:
    static constexpr std::uint32_t empty = 0xFFFFFFFFu;
    void place(std::uint32_t tag, std::uint32_t id);
    void rehash(std::size_t capacity);
    struct Slot {
        std::uint32_t tag;
        std::uint32_t value;
    };
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
    int shift_ = 32;
    // Copies of the slots' address and shift for `prefetch`, which runs outside the lock:
    // on a line of their own, apart from the shard's lock that every intern writes.
    alignas(64) std::atomic<const Slot*> prefetchBase_{nullptr};
    std::atomic<int> prefetchShift_{32};
};

class NameTable {
public:
    static constexpr int shardCount = 32;
    // Positions stop one short of 2^27 so that no id is 0xFFFFFFFF, the hash index's empty mark.
    static constexpr std::uint32_t maxNamesPerShard = (1u << 27) - 1;

    struct RestoredShard {
        Column<std::uint8_t> bytes;
        Column<std::uint32_t> starts;
        Column<std::uint8_t> display;
        Column<std::uint32_t> displayStarts;
    };

    class Shard {
    public:
        Shard();
        explicit Shard(const RestoredShard& restored);

        const Column<std::uint8_t>& bytes() const { return bytes_; }
        const Column<std::uint32_t>& starts() const { return starts_; }
        const Column<std::uint8_t>& display() const { return display_; }
        const Column<std::uint32_t>& displayStarts() const { return displayStarts_; }
        // Names published so far; a reader takes this once and reads below it.
        std::uint32_t nameCount() const { return static_cast<std::uint32_t>(starts_.count() - 1); }
        std::string_view foldedBytes(std::uint32_t position) const;
        std::string_view displayBytes(std::uint32_t position) const;

    private:
        friend class NameTable;
        std::mutex lock_;
        NameHashIndex index_;
        Column<std::uint8_t> bytes_;
        Column<std::uint32_t> starts_;
        Column<std::uint8_t> display_;
        Column<std::uint32_t> displayStarts_;
        std::atomic<std::int64_t> hashCollisions_{0};
    };

    NameTable();
    // Restored columns may read `archive`'s memory, which the table then keeps; so may the
    // block filter, which covers the restored names.
    explicit NameTable(const std::vector<RestoredShard>& restored,
                       SharedMappedArchive archive = nullptr,
                       std::optional<NameBlockFilter> blockFilter = std::nullopt);
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // The id of the name with these display bytes, added when new. Safe from any thread.
    std::uint32_t intern(const char* bytes, std::size_t length);
    std::uint32_t intern(std::string_view name) { return intern(name.data(), name.size()); }
    // Starts fetching the memory a later `intern` of this name probes first. The scan calls
    // it before the name's statx, whose microseconds in the kernel hide the cache miss that
    // otherwise dominates interning in a large table. Takes no lock; safe from any thread.
    void prefetch(const char* bytes, std::size_t length) const;

    // Raw stored bytes, for matching and sorting without copies.
    std::string_view foldedBytes(std::uint32_t id) const {
        return shards_[id & 31]->foldedBytes(id >> 5);
    }
    std::string_view displayBytes(std::uint32_t id) const {
        return shards_[id & 31]->displayBytes(id >> 5);
    }
    // The same, as valid UTF-8 (invalid sequences replaced by U+FFFD).
    std::string display(std::uint32_t id) const;
    std::string folded(std::uint32_t id) const;

    MatchRank matchRank(std::uint32_t id, std::string_view needle) const;
    int compareFolded(std::uint32_t a, std::uint32_t b) const;

    // A copy of every name interned so far, in storage of its own, for readers while the
    // scan goes on interning here. Each shard is copied under its lock, so any id handed out
    // before the call is in the copy. The copy has no lookup index: read it, never intern.
    std::shared_ptr<NameTable> snapshot();

    void rebuildIndexIfNeeded();
    void releaseIndex();
    bool hasIndex();
    // Frees storage left behind when a shard grew. Only when no reader holds the table.
    void releaseRetired();

    std::size_t shardsCount() const { return shards_.size(); }
    // The archive the restored columns read, or null.
    const MappedArchive* archive() const { return archive_.get(); }
    const Shard& shard(std::size_t i) const { return *shards_[i]; }
    // Which blocks of names a text can lie in, when the table was restored with one.
    const NameBlockFilter* blockFilter() const { return blockFilter_ ? &*blockFilter_ : nullptr; }

    std::int64_t uniqueCount() const;
    std::uint32_t idUpperBound() const;
    std::int64_t hashCollisions() const;
    std::int64_t nameBytes() const;
    std::int64_t displayBytes() const;
    std::int64_t startsBytes() const;
    std::int64_t mappedNameBytes() const;
    std::int64_t hashTableBytes();

    // Describes the first broken invariant, or returns an empty text. For tests and for
    // checking a restored table before it is used.
    std::string checkInvariants() const;
    static std::string checkRestored(const RestoredShard& shard);

    static std::uint64_t keyOf(std::string_view displayBytes);

private:
    std::vector<std::unique_ptr<Shard>> shards_;
    SharedMappedArchive archive_;
    std::optional<NameBlockFilter> blockFilter_;
};

using SharedNameTable = std::shared_ptr<NameTable>;

} // namespace vesko
