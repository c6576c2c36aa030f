// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ResultOrder.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vesko {
namespace {

// A stable radix sort by digest, a byte at a time; bytes every item shares cost one pass of
// counting and no move.
template <class Item> void sortByDigest(std::vector<Item>& items, std::vector<Item>& spare) {
    const std::size_t n = items.size();
    spare.resize(n);
    for (int shift = 0; shift < 32; shift += 8) {
        std::array<std::size_t, 256> counts{};
        for (const Item& item : items)
            ++counts[item.digest >> shift & 0xFF];
        if (counts[items[0].digest >> shift & 0xFF] == n) continue;
        std::size_t sum = 0;
        for (std::size_t& count : counts)
            sum += std::exchange(count, sum);
        for (const Item& item : items)
            spare[counts[item.digest >> shift & 0xFF]++] = item;
        items.swap(spare);
    }
}

} // namespace

ResultOrder::ResultOrder(TopSelector order, std::vector<std::uint32_t> all,
                         const std::vector<Search::Hit>& first)
    : selector_(std::move(order)) {
    std::vector<std::uint32_t> leading;
    leading.reserve(first.size());
    for (const Search::Hit& hit : first)
        leading.push_back(static_cast<std::uint32_t>(hit.entry));
    std::ranges::sort(leading);
    entries_.reserve(all.size());
    for (const Search::Hit& hit : first)
        entries_.push_back(static_cast<std::uint32_t>(hit.entry));
    // Both lists rise, so one merge leaves out the leading hits.
    auto next = leading.begin();
    for (const std::uint32_t entry : all) {
        while (next != leading.end() && *next < entry)
            ++next;
        if (next == leading.end() || *next != entry) entries_.push_back(entry);
    }
    boundary_.assign(entries_.size() + 1, false);
    std::fill_n(boundary_.begin(), first.size() + 1, true);
    boundary_.back() = true;
}

bool ResultOrder::prepare(const std::function<bool()>& isCancelled) {
    if (digested_) return true;
    std::vector<Item> items, spare;
    for (std::size_t start = 0; start < size();) {
        if (isCancelled && isCancelled()) return false;
        const std::size_t end = partEnd(start);
        if (end - start >= 2 && !orderByDigest(start, end, items, spare, isCancelled)) return false;
        start = end;
    }
    digested_ = true;
    return true;
}

// Hits of different digests are where the full order puts them once sorted by digest, so
// each change of digest within the part is a boundary. Only unsettled parts are ordered: a
// hit the window put back at a place of its own stays there.
bool ResultOrder::orderByDigest(std::size_t first, std::size_t last, std::vector<Item>& items,
                                std::vector<Item>& spare,
                                const std::function<bool()>& isCancelled) {
    items.clear();
    for (std::size_t k = first; k < last; ++k) {
        // A keystroke's search should not wait long for the last one's order.
        if (isCancelled && k % 4096 == 0 && isCancelled()) return false;
        items.push_back({selector_.digest(entries_[k]), entries_[k]});
    }
    sortByDigest(items, spare);
    for (std::size_t k = first; k < last; ++k) {
        entries_[k] = items[k - first].entry;
        if (k > first && items[k - first - 1].digest != items[k - first].digest)
            boundary_[k] = true;
    }
    return true;
}

bool ResultOrder::adopt(ResultOrder&& prepared) {
    if (digested_ || !prepared.digested_ || prepared.edits_ != edits_ || prepared.size() != size())
        return false;
    // Positions this order settled meanwhile hold what the copy's full order puts there too;
    // only the record of them is lost.
    entries_ = std::move(prepared.entries_);
    boundary_ = std::move(prepared.boundary_);
    digested_ = true;
    return true;
}

std::size_t ResultOrder::partStart(std::size_t position) const {
    while (!boundary_[position])
        --position;
    return position;
}

std::size_t ResultOrder::partEnd(std::size_t position) const {
    ++position;
    while (!boundary_[position])
        ++position;
    return position;
}

void ResultOrder::splitAt(std::size_t position) {
    if (boundary_[position]) return;
    const std::size_t start = partStart(position), end = partEnd(position);
    std::nth_element(entries_.begin() + static_cast<std::ptrdiff_t>(start),
                     entries_.begin() + static_cast<std::ptrdiff_t>(position),
                     entries_.begin() + static_cast<std::ptrdiff_t>(end),
                     [this](std::uint32_t a, std::uint32_t b) { return before(a, b); });
    boundary_[position] = true;
}

void ResultOrder::settle(std::size_t first, std::size_t last) {
    last = std::min(last, size());
    if (first >= last) return;
    if (std::all_of(boundary_.begin() + static_cast<std::ptrdiff_t>(first),
                    boundary_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                    [](bool b) { return b; }))
        return;
    prepare();
    splitAt(first);
    splitAt(last);
    for (std::size_t start = first; start < last;) {
        const std::size_t end = partEnd(start);
        std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(start),
                  entries_.begin() + static_cast<std::ptrdiff_t>(end),
                  [this](std::uint32_t a, std::uint32_t b) { return before(a, b); });
        start = end;
    }
    std::fill(boundary_.begin() + static_cast<std::ptrdiff_t>(first),
              boundary_.begin() + static_cast<std::ptrdiff_t>(last), true);
}

std::uint32_t ResultOrder::entryAt(std::size_t position) {
    if (!isSettled(position)) settle(position, position + 1);
    return entries_[position];
}

std::optional<std::size_t> ResultOrder::positionOf(std::uint32_t entry) {
    auto found = std::ranges::find(entries_, entry);
    if (found == entries_.end()) return std::nullopt;
    if (const auto at = static_cast<std::size_t>(found - entries_.begin()); isSettled(at))
        return at;
    // Ordering by digest keeps the part small, and moves the hit.
    if (!digested_) {
        prepare();
        found = std::ranges::find(entries_, entry);
    }
    const auto at = static_cast<std::size_t>(found - entries_.begin());
    if (isSettled(at)) return at;
    // Its part holds exactly the hits of its positions: its place is the part's start plus
    // the hits of the part shown before it.
    const std::size_t start = partStart(at), end = partEnd(at);
    std::size_t place = start;
    for (std::size_t k = start; k < end; ++k)
        if (k != at && before(entries_[k], entry)) ++place;
    return place;
}

void ResultOrder::erase(std::size_t position) {
    // Taking one hit out of an ordered set leaves the rest in order, so every boundary holds.
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
    boundary_[position] = boundary_[position] || boundary_[position + 1];
    boundary_.erase(boundary_.begin() + static_cast<std::ptrdiff_t>(position) + 1);
    ++edits_;
}

void ResultOrder::insert(std::size_t position, std::uint32_t entry) {
    position = std::min(position, size());
    splitAt(position);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position), entry);
    boundary_.insert(boundary_.begin() + static_cast<std::ptrdiff_t>(position), true);
    ++edits_;
}

std::size_t ResultOrder::memoryBytes() const {
    return sizeof(*this) + entries_.capacity() * sizeof(std::uint32_t) + boundary_.capacity() / 8 +
           selector_.cacheBytes();
}

} // namespace vesko
