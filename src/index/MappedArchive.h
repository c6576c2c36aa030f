// SPDX-License-Identifier: GPL-3.0-or-later
// Owns the memory an archive was loaded into: a read-only mapping of the file, the same
// under a read lease, or an anonymous mapping holding a private copy of it. Columns loaded
// from an archive point into it, so every index built from that load holds a shared
// reference; the last one to go unmaps.
#pragma once

#include "index/ArchiveLease.h"
#include "index/FileDescriptor.h"

#include <cstdint>
#include <memory>

namespace vesko {

class MappedArchive {
public:
    // `file` stays open while the memory maps it, so a fault inside the mapping can be told
    // apart by looking at the file (ArchiveFaultGuard); a private copy passes none.
    MappedArchive(const void* base, std::int64_t size, FileDescriptor file = FileDescriptor())
        : base_(base), size_(size), file_(std::move(file)) {}
    // A private mapping of the file the lease holds, which no write can reach
    // (ArchiveLease): read like a copy, never through the file.
    MappedArchive(const void* base, std::int64_t size, std::unique_ptr<ArchiveLease> lease)
        : base_(base), size_(size), lease_(std::move(lease)) {}
    ~MappedArchive();
    MappedArchive(const MappedArchive&) = delete;
    MappedArchive& operator=(const MappedArchive&) = delete;

    const void* base() const { return base_; }
    std::int64_t size() const { return size_; }
    // The mapped file, or -1 for a private copy or a leased mapping.
    int fileDescriptor() const { return file_.get(); }

private:
    const void* base_;
    std::int64_t size_;
    FileDescriptor file_;
    std::unique_ptr<ArchiveLease> lease_;
};

using SharedMappedArchive = std::shared_ptr<const MappedArchive>;

} // namespace vesko
