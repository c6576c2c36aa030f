// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/NameBlockFilter.h"

#include "index/ArchiveWindow.h"
#include "index/NameTable.h"

#include <algorithm>
#include <bit>

namespace vesko {
namespace {

// A needle longer than this is tested on the trigrams of its first bytes only: more would
// cost reads and rarely remove a block.
constexpr std::size_t mostNeedleTrigrams = 32;

std::uint32_t trigramAt(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

// The name's folded bytes, or nothing when its starts do not lie within the shard's bytes:
// a damaged table is still written whole (and rejected when read back), never read past
// its end here.
std::string_view boundedName(const NameTable::Shard& shard, std::uint32_t position) {
    const auto& starts = shard.starts();
    if (std::size_t{position} + 1 >= starts.count()) return {};
    const std::uint32_t from = starts[position], to = starts[position + 1];
    if (from > to || to > shard.bytes().count()) return {};
    return shard.foldedBytes(position);
}

std::uint32_t bucketOf(std::uint32_t trigram, std::uint32_t bucketsLog2) {
    return (trigram * 0x9E3779B1u) >> (32 - bucketsLog2);
}

std::uint32_t blocksOf(std::uint32_t names) {
    return (names + NameBlockFilter::namesPerBlock - 1) / NameBlockFilter::namesPerBlock;
}

std::size_t totalBlocks(const NameBlockFilter::Counts& covered) {
    std::size_t total = 0;
    for (const std::uint32_t names : covered)
        total += blocksOf(names);
    return total;
}

std::size_t wordsPerBucket(const NameBlockFilter::Counts& covered) {
    return (totalBlocks(covered) + 63) / 64;
}

// About two buckets for each trigram a full block holds, so that most buckets of a block
// stay clear: the filter then costs about H / 2048 bytes a name.
std::uint32_t bucketsLog2For(const NameTable& names, const NameBlockFilter::Counts& covered) {
    std::uint64_t trigrams = 0;
    for (std::size_t s = 0; s < covered.size(); ++s)
        for (std::uint32_t p = 0; p < covered[s]; ++p)
            trigrams += std::max<std::size_t>(boundedName(names.shard(s), p).size(), 2) - 2;
    const std::uint64_t perBlock = trigrams / std::max<std::size_t>(1, totalBlocks(covered));
    const auto log2 = static_cast<std::uint32_t>(std::bit_width(2 * perBlock));
    return std::clamp(log2, NameBlockFilter::fewestBucketsLog2, NameBlockFilter::mostBucketsLog2);
}

} // namespace

std::size_t NameBlockFilter::wordCount(std::uint32_t bucketsLog2, const Counts& covered) {
    return (std::size_t{1} << bucketsLog2) * wordsPerBucket(covered);
}

NameBlockFilter::Built NameBlockFilter::build(const NameTable& names, const Counts& covered) {
    Built built;
    built.bucketsLog2 = bucketsLog2For(names, covered);
    const std::size_t words = wordsPerBucket(covered);
    built.bits.assign(wordCount(built.bucketsLog2, covered), 0);
    // One block's buckets gathered first: each bucket's bit is then set once per block.
    std::vector<std::uint64_t> seen(std::size_t{1} << built.bucketsLog2 >> 6);
    std::size_t block = 0;
    for (std::size_t s = 0; s < covered.size(); ++s) {
        for (std::uint32_t first = 0; first < covered[s]; first += namesPerBlock, ++block) {
            std::ranges::fill(seen, 0);
            const std::uint32_t end = std::min(covered[s], first + namesPerBlock);
            for (std::uint32_t p = first; p < end; ++p) {
                const std::string_view name = boundedName(names.shard(s), p);
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
                for (std::size_t i = 0; i + 3 <= name.size(); ++i) {
                    const std::uint32_t bucket = bucketOf(trigramAt(bytes + i), built.bucketsLog2);
                    seen[bucket >> 6] |= std::uint64_t{1} << (bucket & 63);
                }
            }
            const std::uint64_t bit = std::uint64_t{1} << (block & 63);
            for (std::size_t w = 0; w < seen.size(); ++w)
                for (std::uint64_t set = seen[w]; set != 0; set &= set - 1)
                    built.bits[(w * 64 + std::countr_zero(set)) * words + block / 64] |= bit;
        }
    }
    return built;
}

NameBlockFilter::NameBlockFilter(std::uint32_t bucketsLog2, const Counts& covered,
                                 std::span<const std::uint64_t> bits, const MappedArchive* archive)
    : bucketsLog2_(bucketsLog2), covered_(covered), wordsPerBucket_(wordsPerBucket(covered)),
      bits_(bits), archive_(archive) {
    for (std::size_t s = 0; s < shards; ++s)
        firstBlock_[s + 1] = firstBlock_[s] + blocksOf(covered_[s]);
}

std::optional<std::vector<std::uint64_t>>
NameBlockFilter::blocksHolding(std::string_view needle) const {
    if (needle.size() < 3) return std::nullopt;
    std::vector<std::uint32_t> buckets;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(needle.data());
    for (std::size_t i = 0; i + 3 <= needle.size() && i < mostNeedleTrigrams; ++i)
        buckets.push_back(bucketOf(trigramAt(bytes + i), bucketsLog2_));
    std::ranges::sort(buckets);
    buckets.erase(std::unique(buckets.begin(), buckets.end()), buckets.end());
    std::vector<std::uint64_t> blocks(wordsPerBucket_, ~std::uint64_t{0});
    for (const std::uint32_t bucket : buckets) {
        // Read through the window: a few hundred bytes of each bucket, far apart in the file.
        ArchiveWindow<std::uint64_t> window(archive_, bits_.data() + bucket * wordsPerBucket_,
                                            wordsPerBucket_);
        for (std::size_t from = 0; from < wordsPerBucket_;) {
            std::size_t n = wordsPerBucket_ - from;
            const std::uint64_t* part = window.at(from, n);
            for (std::size_t w = 0; w < n; ++w)
                blocks[from + w] &= part[w];
            from += n;
        }
    }
    return blocks;
}

std::vector<NameBlockFilter::Span> NameBlockFilter::spans(const std::vector<std::uint64_t>& blocks,
                                                          std::size_t shard,
                                                          std::uint32_t nameCount) const {
    std::vector<Span> found;
    auto add = [&](std::uint32_t begin, std::uint32_t end) {
        if (begin >= end) return;
        if (!found.empty() && found.back().end == begin)
            found.back().end = end;
        else
            found.push_back({begin, end});
    };
    const std::uint32_t covered = std::min(covered_[shard], nameCount);
    for (std::uint32_t g = firstBlock_[shard]; g < firstBlock_[shard + 1]; ++g)
        if (g / 64 < blocks.size() && (blocks[g / 64] >> (g & 63) & 1)) {
            const std::uint32_t begin = (g - firstBlock_[shard]) * namesPerBlock;
            add(std::min(begin, covered), std::min(begin + namesPerBlock, covered));
        }
    add(covered, nameCount);
    return found;
}

} // namespace vesko
