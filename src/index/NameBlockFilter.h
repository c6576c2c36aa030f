// SPDX-License-Identifier: GPL-3.0-or-later
// Which blocks of names can hold a text. Each shard's names are cut into blocks of 256
// positions; for every trigram of the folded names (three consecutive bytes, hashed into a
// fixed number of buckets), one bit per block says whether a name of that block holds a
// trigram of that bucket. A needle of three or more bytes lies only in blocks whose bits are
// set for all of its trigrams, so a search of a rare text reads those blocks of names instead
// of all of them. A colliding bucket costs a block read, never a missed name.
//
// Saved with the archive and read from it in place; it covers the names the archive held,
// and a name interned after the load lies in no block, so it is always read.
#pragma once

#include "index/MappedArchive.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vesko {

class NameTable;

class NameBlockFilter {
public:
    static constexpr std::uint32_t namesPerBlock = 256;
    static constexpr std::uint32_t fewestBucketsLog2 = 6;
    static constexpr std::uint32_t mostBucketsLog2 = 16;
    static constexpr std::size_t shards = 32;
    using Counts = std::array<std::uint32_t, shards>;

    // Positions [begin, end) of one shard whose names may hold a needle.
    struct Span {
        std::uint32_t begin, end;
    };

    // What an archive stores: the bucket count and, bucket after bucket, one bit per block.
    struct Built {
        std::uint32_t bucketsLog2 = fewestBucketsLog2;
        std::vector<std::uint64_t> bits;
    };

    // Over the first `covered[s]` names of each shard of `names`.
    static Built build(const NameTable& names, const Counts& covered);

    // The number of 64-bit words a filter of these buckets over these names stores: what a
    // loader compares the stored block's length with.
    static std::size_t wordCount(std::uint32_t bucketsLog2, const Counts& covered);

    // `bits` holds wordCount(bucketsLog2, covered) words and lies in `archive` (may be null,
    // then it is read in place); the caller keeps both alive.
    NameBlockFilter(std::uint32_t bucketsLog2, const Counts& covered,
                    std::span<const std::uint64_t> bits, const MappedArchive* archive);

    // One bit per block: the blocks that may hold `needle`; nothing when the needle is too
    // short to have a trigram, and every block must be read.
    std::optional<std::vector<std::uint64_t>> blocksHolding(std::string_view needle) const;

    // The positions of shard `shard`, which now holds `nameCount` names, that a search for a
    // needle with these candidate blocks must read, ascending and apart.
    std::vector<Span> spans(const std::vector<std::uint64_t>& blocks, std::size_t shard,
                            std::uint32_t nameCount) const;

private:
    std::uint32_t bucketsLog2_;
    Counts covered_;
    std::array<std::uint32_t, shards + 1> firstBlock_{};
    std::size_t wordsPerBucket_ = 0;
    std::span<const std::uint64_t> bits_;
    const MappedArchive* archive_;
};

} // namespace vesko
