// SPDX-License-Identifier: GPL-3.0-or-later
// The counter that tells a running search it has been overtaken. The store owns one and
// bumps it for every new search.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace vesko {

// A running search holds the value it was given and stops at its next check once another
// search has advanced the counter. Checked from every thread of a search, so it is atomic.
class SearchGeneration {
public:
    std::int64_t advance() { return ++value_; }
    std::int64_t value() const { return value_.load(); }
    std::function<bool()> cancellation(std::int64_t generation) const {
        return [this, generation] { return value() != generation; };
    }

private:
    std::atomic<std::int64_t> value_ = 0;
};

} // namespace vesko
