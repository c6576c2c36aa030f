// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/ContentMatcher.h"

#include "index/FileDescriptor.h"
#include "index/Unicode.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace vesko {
namespace {

constexpr std::array<unsigned char, 256> asciiFold = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return table;
}();

// Read-only private mapping of a file's leading bytes, unmapped when it goes.
class ReadMapping {
public:
    ReadMapping(int fd, std::size_t length) : length_(length) {
        void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return;
        base_ = static_cast<const unsigned char*>(p);
        ::madvise(p, length, MADV_SEQUENTIAL);
    }
    ~ReadMapping() {
        if (base_) ::munmap(const_cast<unsigned char*>(base_), length_);
    }
    ReadMapping(const ReadMapping&) = delete;
    ReadMapping& operator=(const ReadMapping&) = delete;
    const unsigned char* data() const { return base_; }

private:
    const unsigned char* base_ = nullptr;
    std::size_t length_;
};

// Opening with O_NOATIME keeps a content search from rewriting the "Last Opened" dates the
// user filters on; the kernel allows it only to the file's owner, so fall back without it.
// O_NONBLOCK keeps a FIFO from stalling the search.
int openForReading(const std::string& path) {
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = ::open(path.c_str(), flags);
    return fd;
}

} // namespace

ContentMatcher::ContentMatcher(std::string_view query, std::int64_t examineLimit)
    : needle_(Unicode::lowercased(query)), examineLimit_(examineLimit) {}

bool ContentMatcher::matches(const std::string& path) {
    if (!beginExamination()) return false;
    const Outcome outcome = examine(path);
    record(outcome);
    return outcome == Outcome::match;
}

bool ContentMatcher::beginExamination() {
    std::lock_guard guard(lock_);
    if (examined_ >= examineLimit_) return false;
    ++examined_;
    return true;
}

void ContentMatcher::record(Outcome outcome) {
    if (outcome == Outcome::match || outcome == Outcome::miss) return;
    std::lock_guard guard(lock_);
    if (outcome == Outcome::skippedBinary) ++skippedBinary_;
    if (outcome == Outcome::unreadable) ++unreadable_;
    if (outcome == Outcome::truncatedMiss) ++truncatedMiss_;
}

ContentMatcher::Outcome ContentMatcher::examine(const std::string& path) const {
    const FileDescriptor fd(openForReading(path));
    if (!fd) return Outcome::unreadable;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Outcome::miss;
    // Folders, devices and FIFOs cannot be mapped as file contents.
    if (!S_ISREG(status.st_mode)) return Outcome::unreadable;
    const std::int64_t size = status.st_size;
    if (size < 1 || size < static_cast<std::int64_t>(needle_.size())) return Outcome::miss;
    const auto length = static_cast<std::size_t>(std::min(size, readCap));
    // A file truncated by another process while mapped would fault on the vanished pages;
    // the window is the few milliseconds of one scan, accepted for the speed of mapping.
    const ReadMapping mapping(fd.get(), length);
    if (!mapping.data()) return Outcome::unreadable;
    return searchMapped(mapping.data(), length, size);
}

ContentMatcher::Outcome ContentMatcher::searchMapped(const unsigned char* data, std::size_t mapped,
                                                     std::int64_t size) const {
    const std::size_t probe = std::min(mapped, static_cast<std::size_t>(binaryProbe));
    if (std::memchr(data, 0, probe)) return Outcome::skippedBinary;
    if (contains(data, mapped)) return Outcome::match;
    return size > readCap ? Outcome::truncatedMiss : Outcome::miss;
}

bool ContentMatcher::contains(const unsigned char* bytes, std::size_t count) const {
    const std::size_t n = needle_.size();
    if (n == 0 || n > count) return false;
    const auto* needle = reinterpret_cast<const unsigned char*>(needle_.data());
    const unsigned char first = needle[0];
    for (std::size_t i = 0, last = count - n; i <= last; ++i) {
        if (asciiFold[bytes[i]] != first) continue;
        std::size_t k = 1;
        while (k < n && asciiFold[bytes[i + k]] == needle[k])
            ++k;
        if (k == n) return true;
    }
    return false;
}

std::int64_t ContentMatcher::examined() const {
    std::lock_guard guard(lock_);
    return examined_;
}

std::int64_t ContentMatcher::skippedBinary() const {
    std::lock_guard guard(lock_);
    return skippedBinary_;
}

std::int64_t ContentMatcher::unreadable() const {
    std::lock_guard guard(lock_);
    return unreadable_;
}

std::int64_t ContentMatcher::truncatedMiss() const {
    std::lock_guard guard(lock_);
    return truncatedMiss_;
}

bool ContentMatcher::hitLimit() const {
    std::lock_guard guard(lock_);
    return examined_ >= examineLimit_;
}

} // namespace vesko
