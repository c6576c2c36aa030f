// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ResultOrder.h"

#include <algorithm>

namespace vesko {

ResultOrder::ResultOrder(TopSelector order, std::vector<std::uint32_t> all,
                         const std::vector<Search::Hit>& first)
    : selector_(std::move(order)) {
    std::vector<std::uint32_t> leading;
    leading.reserve(first.size());
    for (const Search::Hit& hit : first)
        leading.push_back(static_cast<std::uint32_t>(hit.entry));
    std::ranges::sort(leading);
    items_.reserve(all.size());
    for (const Search::Hit& hit : first)
        items_.push_back({0, static_cast<std::uint32_t>(hit.entry)});
    // Both lists rise, so one merge leaves out the leading hits.
    auto next = leading.begin();
    for (const std::uint32_t entry : all) {
        while (next != leading.end() && *next < entry)
            ++next;
        if (next == leading.end() || *next != entry) items_.push_back({0, entry});
    }
    boundary_.assign(items_.size() + 1, 0);
    std::fill_n(boundary_.begin(), first.size() + 1, std::uint8_t{1});
    boundary_.back() = 1;
}

bool ResultOrder::before(const Item& a, const Item& b) {
    if (a.digest != b.digest) return a.digest < b.digest;
    return selector_.precedes(a.entry, b.entry);
}

// Once, when the first range past the search's own page is asked for; the digests read the
// keys' caches, which this pass fills.
void ResultOrder::digestAll() {
    if (digested_) return;
    for (Item& item : items_)
        item.digest = selector_.digest(item.entry);
    digested_ = true;
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
    std::nth_element(items_.begin() + static_cast<std::ptrdiff_t>(start),
                     items_.begin() + static_cast<std::ptrdiff_t>(position),
                     items_.begin() + static_cast<std::ptrdiff_t>(end),
                     [this](const Item& a, const Item& b) { return before(a, b); });
    boundary_[position] = 1;
}

void ResultOrder::settle(std::size_t first, std::size_t last) {
    last = std::min(last, size());
    if (first >= last) return;
    if (std::all_of(boundary_.begin() + static_cast<std::ptrdiff_t>(first),
                    boundary_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                    [](std::uint8_t b) { return b != 0; }))
        return;
    digestAll();
    splitAt(first);
    splitAt(last);
    for (std::size_t start = first; start < last;) {
        const std::size_t end = partEnd(start);
        std::sort(items_.begin() + static_cast<std::ptrdiff_t>(start),
                  items_.begin() + static_cast<std::ptrdiff_t>(end),
                  [this](const Item& a, const Item& b) { return before(a, b); });
        start = end;
    }
    std::fill(boundary_.begin() + static_cast<std::ptrdiff_t>(first),
              boundary_.begin() + static_cast<std::ptrdiff_t>(last), std::uint8_t{1});
}

std::uint32_t ResultOrder::entryAt(std::size_t position) {
    if (!isSettled(position)) settle(position, position + 1);
    return items_[position].entry;
}

std::optional<std::size_t> ResultOrder::positionOf(std::uint32_t entry) {
    const auto found = std::ranges::find(items_, entry, &Item::entry);
    if (found == items_.end()) return std::nullopt;
    const auto at = static_cast<std::size_t>(found - items_.begin());
    if (isSettled(at)) return at;
    // Its part holds exactly the hits of its positions: its place is the part's start plus
    // the hits of the part shown before it.
    digestAll();
    const std::size_t start = partStart(at), end = partEnd(at);
    std::size_t place = start;
    for (std::size_t k = start; k < end; ++k)
        if (k != at && before(items_[k], *found)) ++place;
    return place;
}

void ResultOrder::erase(std::size_t position) {
    // Taking one hit out of an ordered set leaves the rest in order, so every boundary holds.
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
    boundary_[position] |= boundary_[position + 1];
    boundary_.erase(boundary_.begin() + static_cast<std::ptrdiff_t>(position) + 1);
}

void ResultOrder::insert(std::size_t position, std::uint32_t entry) {
    position = std::min(position, size());
    splitAt(position);
    const std::uint32_t digest = digested_ ? selector_.digest(entry) : 0;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(position), {digest, entry});
    boundary_.insert(boundary_.begin() + static_cast<std::ptrdiff_t>(position), std::uint8_t{1});
}

std::size_t ResultOrder::memoryBytes() const {
    return sizeof(*this) + items_.capacity() * sizeof(Item) + boundary_.capacity() +
           selector_.cacheBytes();
}

} // namespace vesko
