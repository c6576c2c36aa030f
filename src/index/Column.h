// SPDX-License-Identifier: GPL-3.0-or-later
// A fixed-width column: a read-only run served from a file mapping, followed by elements
// appended in memory. Copies share the appended part until one of them writes (copy on
// write), so a search can keep a cheap snapshot while the updater appends to its own copy.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

namespace vesko {

// Growable storage whose elements never move while a reader may hold them: when it grows,
// the new buffer is published with release order and, when `keepsRetired` is set, the old
// buffer stays alive until `releaseRetired`. One writer; readers take `size` (acquire) once
// and then read `data` up to that size without a lock.
template <class T> class AppendStorage {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit AppendStorage(bool keepsRetired = false) : keepsRetired_(keepsRetired) {}
    AppendStorage(const AppendStorage& other) : keepsRetired_(other.keepsRetired_) {
        const std::size_t n = other.size();
        reserve(n);
        if (n) std::memcpy(owned_.get(), other.data(), n * sizeof(T));
        size_.store(n, std::memory_order_release);
    }
    AppendStorage& operator=(const AppendStorage&) = delete;

    std::size_t size() const { return size_.load(std::memory_order_acquire); }
    const T* data() const { return data_.load(std::memory_order_acquire); }
    T* mutableData() { return owned_.get(); }
    std::size_t capacity() const { return capacity_; }

    void reserve(std::size_t n) {
        if (n > capacity_) grow(n);
    }

    void append(const T* elements, std::size_t n) {
        if (n == 0) return;
        const std::size_t old = size_.load(std::memory_order_relaxed);
        if (old + n > capacity_) grow(std::max(old + n, capacity_ + capacity_ / 2 + 16));
        std::memcpy(owned_.get() + old, elements, n * sizeof(T));
        size_.store(old + n, std::memory_order_release);
    }

    // Frees buffers left behind by growth. Only when no reader can hold an old pointer.
    void releaseRetired() { retired_.clear(); }
    std::size_t retiredCount() const { return retired_.size(); }

private:
    void grow(std::size_t newCapacity) {
        std::unique_ptr<T[]> fresh(new T[newCapacity]);
        const std::size_t n = size_.load(std::memory_order_relaxed);
        if (n) std::memcpy(fresh.get(), owned_.get(), n * sizeof(T));
        data_.store(fresh.get(), std::memory_order_release);
        if (keepsRetired_ && owned_) retired_.push_back(std::move(owned_));
        owned_ = std::move(fresh);
        capacity_ = newCapacity;
    }

    bool keepsRetired_;
    std::unique_ptr<T[]> owned_;
    std::atomic<T*> data_{nullptr};
    std::atomic<std::size_t> size_{0};
    std::size_t capacity_ = 0;
    std::vector<std::unique_ptr<T[]>> retired_;
};

template <class T> class Column {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using Storage = AppendStorage<T>;

    Column() = default;
    explicit Column(std::span<const T> mapped) : mapped_(mapped) {}
    explicit Column(const std::vector<T>& elements) { append(elements.data(), elements.size()); }

    // A column whose appended part may be read by other threads while this one appends
    // (the name table's): grown buffers are kept until `releaseRetired`. Such a column must
    // not be copied while it is being appended to.
    static Column concurrentlyRead(std::span<const T> mapped = {}) {
        Column c(mapped);
        c.extra_ = std::make_shared<Storage>(true);
        return c;
    }

    std::size_t mappedCount() const { return mapped_.size(); }
    std::size_t extraCount() const { return extra_ ? extra_->size() : 0; }
    std::size_t count() const { return mappedCount() + extraCount(); }
    bool isEmpty() const { return count() == 0; }
    const T* mappedBase() const { return mapped_.data(); }
    const T* extraBase() const { return extra_ ? extra_->data() : nullptr; }

    T operator[](std::size_t i) const {
        const std::size_t m = mapped_.size();
        return i < m ? mapped_[i] : extra_->data()[i - m];
    }

    // The mapped run is never written: the first write below mappedCount moves the whole
    // column into memory of its own, so a loaded index pays for the copy only when an update
    // reaches that column, and other copies keep reading the mapping.
    void set(std::size_t i, T value) {
        if (i < mapped_.size()) ownMapped();
        writableExtra().mutableData()[i - mapped_.size()] = value;
    }

    void append(T element) { append(&element, 1); }
    void append(const T* elements, std::size_t n) {
        if (n) writableExtra().append(elements, n);
    }
    void append(std::span<const T> elements) { append(elements.data(), elements.size()); }
    void reserveCapacity(std::size_t n) { writableExtra().reserve(n); }
    void releaseRetired() {
        if (extra_) extra_->releaseRetired();
    }

    // Calls body(pointer, start, length) for the mapped run, then the appended run,
    // skipping empty ones, so hot loops run over plain contiguous memory.
    template <class Body> void forEachRegion(Body&& body) const {
        if (mapped_.data() && !mapped_.empty())
            body(mapped_.data(), std::size_t{0}, mapped_.size());
        const std::size_t n = extraCount();
        if (n) body(extra_->data(), mapped_.size(), n);
    }

    // body(mappedBase or null, mappedCount, extraBase): element i is mappedBase[i] below
    // mappedCount, else extraBase[i - mappedCount].
    template <class Body> decltype(auto) withBases(Body&& body) const {
        return body(mapped_.data(), mapped_.size(), extraBase());
    }

    // body(mapped bytes, extra bytes), for writing the column without assembling it.
    template <class Body> decltype(auto) withParts(Body&& body) const {
        auto mappedBytes = std::as_bytes(mapped_);
        std::span<const std::byte> extraBytes;
        if (const std::size_t n = extraCount())
            extraBytes = std::as_bytes(std::span<const T>(extra_->data(), n));
        return body(mappedBytes, extraBytes);
    }

    bool operator==(const Column& other) const {
        if (count() != other.count()) return false;
        for (std::size_t i = 0; i < count(); ++i)
            if (!((*this)[i] == other[i])) return false;
        return true;
    }

private:
    void ownMapped() {
        auto all = std::make_shared<Storage>();
        all->reserve(count());
        all->append(mapped_.data(), mapped_.size());
        if (const std::size_t n = extraCount()) all->append(extra_->data(), n);
        mapped_ = {};
        extra_ = std::move(all);
    }

    Storage& writableExtra() {
        if (!extra_) {
            extra_ = std::make_shared<Storage>();
        } else if (extra_.use_count() > 1) {
            extra_ = std::make_shared<Storage>(*extra_);
        }
        return *extra_;
    }

    std::span<const T> mapped_;
    std::shared_ptr<Storage> extra_;
};

// Element i of a column without the shared-pointer hop of Column::operator[], for hot loops
// that index at random. Valid while something holds the column's storage unchanged (a
// search's own copy of the index does).
template <class T> struct ColumnView {
    const T* mapped = nullptr;
    std::size_t mappedCount = 0;
    const T* extra = nullptr;

    static ColumnView of(const Column<T>& column) {
        return column.withBases([](const T* m, std::size_t n, const T* e) {
            return ColumnView{m, n, e};
        });
    }
    T operator[](std::size_t i) const {
        return i < mappedCount ? mapped[i] : extra[i - mappedCount];
    }
    // Starts fetching element i, which must exist, for a read a little later.
    void prefetch(std::size_t i) const {
        __builtin_prefetch(i < mappedCount ? mapped + i : extra + (i - mappedCount));
    }
};

} // namespace vesko
