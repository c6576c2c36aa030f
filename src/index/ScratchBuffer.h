// SPDX-License-Identifier: GPL-3.0-or-later
// A large zero-filled work array taken straight from the kernel (anonymous mapping), so
// tables of tens of millions of entries are zeroed lazily and returned in full on release.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

namespace vesko {

template <class T> class ScratchBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // Nothing when count is below 1 or the kernel refuses the mapping. The memory is
    // zero-filled by the kernel, so there is no separate zeroing step.
    static std::shared_ptr<ScratchBuffer> make(std::int64_t count) {
        if (count < 1) return nullptr;
        const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(T);
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return nullptr;
        return std::shared_ptr<ScratchBuffer>(
            new ScratchBuffer(static_cast<T*>(p), static_cast<std::size_t>(count)));
    }

    ~ScratchBuffer() {
        if (buffer_.data()) munmap(buffer_.data(), buffer_.size_bytes());
    }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    T& operator[](std::size_t i) { return buffer_[i]; }
    const T& operator[](std::size_t i) const { return buffer_[i]; }
    std::size_t count() const { return buffer_.size(); }
    std::span<T> buffer() const { return buffer_; }
    std::int64_t bytes() const { return static_cast<std::int64_t>(buffer_.size_bytes()); }

private:
    ScratchBuffer(T* start, std::size_t count) : buffer_(start, count) {}
    std::span<T> buffer_;
};

} // namespace vesko
