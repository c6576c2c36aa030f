// SPDX-License-Identifier: MIT
// Owns one read-only file mapping. Columns loaded from an archive point into it, so every
// index built from that load holds a shared reference; the last one to go unmaps.
#pragma once

#include <cstdint>
#include <memory>

namespace vesko {

class MappedArchive {
public:
    MappedArchive(const void* base, std::int64_t size) : base_(base), size_(size) {}
    ~MappedArchive();
    MappedArchive(const MappedArchive&) = delete;
    MappedArchive& operator=(const MappedArchive&) = delete;

    const void* base() const { return base_; }
    std::int64_t size() const { return size_; }

private:
    const void* base_;
    std::int64_t size_;
};

using SharedMappedArchive = std::shared_ptr<const MappedArchive>;

} // namespace vesko
