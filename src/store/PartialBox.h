// SPDX-License-Identifier: GPL-3.0-or-later
// The latest part of a scan that is still running, waiting for the main thread. A newer part
// replaces one not yet taken, so a busy main thread never has copies of an index queued up.
#pragma once

#include "scan/IndexBuilder.h"

#include <mutex>
#include <optional>
#include <utility>

namespace vesko {

class PartialBox {
public:
    // True when the box was empty: the caller then asks the main thread to take the part.
    bool put(IndexBuilder::Partial part) {
        std::lock_guard guard(lock_);
        const bool wasEmpty = !latest_;
        latest_ = std::move(part);
        return wasEmpty;
    }

    std::optional<IndexBuilder::Partial> take() {
        std::lock_guard guard(lock_);
        return std::exchange(latest_, std::nullopt);
    }

    bool closed = false; // main thread only: the scan has ended, parts come too late

private:
    std::mutex lock_;
    std::optional<IndexBuilder::Partial> latest_;
};

} // namespace vesko
