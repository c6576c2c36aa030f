// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/ArchiveWindow.h"

#include <mutex>
#include <vector>

namespace vesko::ArchiveWindowBuffers {
namespace {

// More than the windows of one search open at once: two threads, two windows each.
constexpr std::size_t kept = 8;

std::mutex lock;
std::vector<std::unique_ptr<std::byte[]>>& pool() {
    static std::vector<std::unique_ptr<std::byte[]>> buffers;
    return buffers;
}

} // namespace

std::unique_ptr<std::byte[]> take() {
    {
        const std::lock_guard hold(lock);
        if (!pool().empty()) {
            auto buffer = std::move(pool().back());
            pool().pop_back();
            return buffer;
        }
    }
    return std::make_unique_for_overwrite<std::byte[]>(bytes);
}

void giveBack(std::unique_ptr<std::byte[]> buffer) {
    if (!buffer) return;
    const std::lock_guard hold(lock);
    if (pool().size() < kept) pool().push_back(std::move(buffer));
}

} // namespace vesko::ArchiveWindowBuffers
