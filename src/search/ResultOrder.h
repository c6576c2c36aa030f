// SPDX-License-Identifier: GPL-3.0-or-later
// Every hit of one search, in display order where someone has looked. Sorting 669,312 hits
// costs far more than the page a person sees, so a range is settled only when asked for: it
// is partitioned off at its two ends (nth_element within the part that holds it) and sorted
// between them. What is settled stays settled, so scrolling and dragging refine the same
// list, and every settled position holds exactly what a full sort would put there.
//
// Partitioning the whole list by full comparisons is what made the first drag slow, so the
// hits are first ordered by digest (a radix sort, see TopSelector::digest): every change of
// digest is then a boundary, and a range asked for sorts only hits of equal digest. That pass
// runs once, on a copy away from the window's thread (prepare), which the order adopts.
#pragma once

#include "search/SearchHit.h"
#include "search/TopSelector.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vesko {

class ResultOrder {
public:
    // `all` is every hit in index order; `first` the leading hits in display order, as the
    // search's page selection keeps them: those positions are settled from the start. The
    // selector decides the order and must be set up as the search's was (the names it refers
    // to outlive this).
    ResultOrder(TopSelector order, std::vector<std::uint32_t> all,
                const std::vector<Search::Hit>& first);

    std::size_t size() const { return entries_.size(); }
    // Puts positions [first, last) in their final order.
    void settle(std::size_t first, std::size_t last);
    // The entry shown at `position` (< size), settling that position first if needed.
    std::uint32_t entryAt(std::size_t position);
    // Where the entry is shown; none when it is not among the hits. Costs a pass over the
    // hits, so it suits a few entries at a time.
    std::optional<std::size_t> positionOf(std::uint32_t entry);
    // Edits the window makes before the disk confirms them: a hit leaves the list, or comes
    // back at a position of its own choosing, which counts as settled.
    void erase(std::size_t position);
    void insert(std::size_t position, std::uint32_t entry);

    // Orders the hits by digest, unless `isCancelled` says the answer is no longer wanted
    // first (then false). Meant for a copy on another thread, which the original adopts.
    bool prepare(const std::function<bool()>& isCancelled = {});
    // Takes over the prepared copy's order if this one was neither edited nor ordered by
    // digest since the copy was made; false when it keeps its own.
    bool adopt(ResultOrder&& prepared);
    bool isPrepared() const { return digested_; }

    // Each hit once, in no defined order.
    template <class Visit> void forEachEntry(Visit&& visit) const {
        for (const std::uint32_t entry : entries_)
            visit(entry);
    }
    // What the list holds on to, selector caches included.
    std::size_t memoryBytes() const;

private:
    // Only while a part is ordered by digest.
    struct Item {
        std::uint32_t digest;
        std::uint32_t entry;
    };

    bool before(std::uint32_t a, std::uint32_t b) { return selector_.precedes(a, b); }
    bool orderByDigest(std::size_t first, std::size_t last, std::vector<Item>& items,
                       std::vector<Item>& spare, const std::function<bool()>& isCancelled);
    void splitAt(std::size_t position);
    std::size_t partStart(std::size_t position) const;
    std::size_t partEnd(std::size_t position) const;
    bool isSettled(std::size_t position) const {
        return boundary_[position] && boundary_[position + 1];
    }

    TopSelector selector_;
    // The hits' entries: 4 bytes a hit, digests are not kept once they placed the hits.
    std::vector<std::uint32_t> entries_;
    // boundary_[i]: the hits before position i are exactly the first i of the full order.
    // One more than the hits; the ends are always boundaries.
    std::vector<bool> boundary_;
    bool digested_ = false;
    std::uint64_t edits_ = 0; // erase and insert calls, which a prepared copy did not see
};

} // namespace vesko
