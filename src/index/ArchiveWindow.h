// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a run of a column that lies in an archive file's mapping through a small buffer
// (pread) instead of through the mapping. A search that reads each byte once pays for every
// page it touches: under a hypervisor that keeps the page tables itself, the first read of
// each mapped page costs microseconds, and a search of a million entries touches thousands
// of them; copying the same bytes out of the page cache costs a small part of that. Runs
// outside the mapping, and private copies of an archive (no file), are read in place.
#pragma once

#include "index/MappedArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <unistd.h>

namespace vesko {

// The windows' buffers, kept for the next window when one ends: a fresh page costs a fault
// on its first write, so a search's windows, on whichever thread, share the few pages
// already written. Safe from any thread.
namespace ArchiveWindowBuffers {
inline constexpr std::size_t bytes = std::size_t{32} << 10;
std::unique_ptr<std::byte[]> take();
void giveBack(std::unique_ptr<std::byte[]> buffer);
} // namespace ArchiveWindowBuffers

// The same reads of a run held in memory, at no cost: for searches that read nothing
// from a file.
template <class T> struct InPlaceRun {
    InPlaceRun(const MappedArchive*, const T* run, std::size_t) : run(run) {}
    const T* at(std::size_t from, std::size_t&, std::size_t = 0) const { return run + from; }
    const T* pointer(std::size_t from, std::size_t) const { return run + from; }
    T element(std::size_t i, std::size_t) const { return run[i]; }
    const T* run;
};

template <class T> class ArchiveWindow {
public:
    // Elements per read: large enough that the calls cost little, small enough that the
    // buffer's own pages stay few.
    static constexpr std::size_t elementsPerRead = ArchiveWindowBuffers::bytes / sizeof(T);

    // `run` holds `count` elements; `archive` may be null.
    ArchiveWindow(const MappedArchive* archive, const T* run, std::size_t count)
        : run_(run), count_(count), held_(run), heldTo_(count) {
        if (!archive || archive->fileDescriptor() < 0 || !run || count == 0) return;
        const auto* base = static_cast<const std::uint8_t*>(archive->base());
        const auto* first = reinterpret_cast<const std::uint8_t*>(run);
        const auto* last = reinterpret_cast<const std::uint8_t*>(run + count);
        if (first < base || last > base + archive->size()) return;
        file_ = archive->fileDescriptor();
        fileOffset_ = static_cast<std::size_t>(first - base);
        held_ = nullptr;
        heldTo_ = 0;
    }
    ~ArchiveWindow() { ArchiveWindowBuffers::giveBack(std::move(buffer_)); }
    ArchiveWindow(const ArchiveWindow&) = delete;
    ArchiveWindow& operator=(const ArchiveWindow&) = delete;

    // Elements [from, from + n) of the run, where `n` comes in as the number wanted (at most
    // count - from) and goes out as the number given: all of them, or at least `least` of
    // them (or as many as remain). Valid until the next call.
    [[gnu::always_inline]] const T* at(std::size_t from, std::size_t& n,
                                       std::size_t least = elementsPerRead / 2) {
        if (file_ < 0) return run_ + from;
        return readAt(from, n, least);
    }

    // Elements [from, from + n) where they lie in the buffer, else in the mapping: for the
    // few elements a search looks at again.
    [[gnu::always_inline]] const T* pointer(std::size_t from, std::size_t n) const {
        if (from >= heldFrom_ && from + n <= heldTo_) return held_ + (from - heldFrom_);
        return run_ + from;
    }

    // Element i, reading a new part from `floor` (at most i) when the buffer lacks it: for
    // a search that moves forward and never looks below `floor` again.
    [[gnu::always_inline]] T element(std::size_t i, std::size_t floor) {
        if (i - heldFrom_ < heldTo_ - heldFrom_) return held_[i - heldFrom_];
        return elementAfterFill(i, floor);
    }

private:
    const T* readAt(std::size_t from, std::size_t& n, std::size_t least) {
        least = std::min(least, n);
        if (from < heldFrom_ || from + least > heldTo_)
            if (!fill(from, least)) return run_ + from; // the mapping reports a vanished file
        n = std::min(n, heldTo_ - from);
        return held_ + (from - heldFrom_);
    }

    T elementAfterFill(std::size_t i, std::size_t floor) {
        if (file_ < 0 || i < floor || i - floor >= elementsPerRead || !fill(floor, i - floor + 1))
            return run_[i];
        return held_[i - heldFrom_];
    }

    bool fill(std::size_t from, std::size_t least) {
        if (least > elementsPerRead) return false;
        if (!buffer_) buffer_ = ArchiveWindowBuffers::take();
        const std::size_t n = std::min(elementsPerRead, count_ - from);
        auto* into = reinterpret_cast<std::uint8_t*>(buffer_.get());
        const std::size_t bytes = n * sizeof(T);
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t got = ::pread(file_, into + done, bytes - done,
                                        static_cast<off_t>(fileOffset_ + from * sizeof(T) + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                heldFrom_ = heldTo_ = 0;
                held_ = nullptr;
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        held_ = reinterpret_cast<const T*>(buffer_.get());
        heldFrom_ = from;
        heldTo_ = from + n;
        return true;
    }

    const T* run_;
    std::size_t count_;
    int file_ = -1;
    std::size_t fileOffset_ = 0;
    std::unique_ptr<std::byte[]> buffer_;
    // Elements [heldFrom_, heldTo_) are at held_: the whole run when it is read in place.
    const T* held_;
    std::size_t heldFrom_ = 0;
    std::size_t heldTo_;
};

} // namespace vesko
