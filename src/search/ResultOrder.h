// SPDX-License-Identifier: GPL-3.0-or-later
// Every hit of one search, in display order where someone has looked. Sorting 669,312 hits
// costs far more than the page a person sees, so a range is settled only when asked for: it
// is partitioned off at its two ends (nth_element within the part that holds it) and sorted
// between them. What is settled stays settled, so scrolling and dragging refine the same
// list, and every settled position holds exactly what a full sort would put there.
#pragma once

#include "search/SearchHit.h"
#include "search/TopSelector.h"

#include <cstddef>
#include <cstdint>
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

    std::size_t size() const { return items_.size(); }
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

    // Each hit once, in no defined order.
    template <class Visit> void forEachEntry(Visit&& visit) const {
        for (const Item& item : items_)
            visit(item.entry);
    }
    // What the list holds on to, selector caches included.
    std::size_t memoryBytes() const;

private:
    // The digest orders two hits when it differs (see TopSelector::digest); only equal
    // digests pay for the full comparison.
    struct Item {
        std::uint32_t digest;
        std::uint32_t entry;
    };

    bool before(const Item& a, const Item& b);
    void digestAll();
    void splitAt(std::size_t position);
    std::size_t partStart(std::size_t position) const;
    std::size_t partEnd(std::size_t position) const;
    bool isSettled(std::size_t position) const {
        return boundary_[position] && boundary_[position + 1];
    }

    TopSelector selector_;
    std::vector<Item> items_;
    // boundary_[i]: the hits before position i are exactly the first i of the full order.
    // One more than the hits; the ends are always boundaries.
    std::vector<std::uint8_t> boundary_;
    bool digested_ = false;
};

} // namespace vesko
