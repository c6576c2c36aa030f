// SPDX-License-Identifier: GPL-3.0-or-later
// The window keeps its index for days, read in place from the archive. Copying hundreds of
// megabytes into fresh memory at every start costs more than anything else the start does,
// so the window maps the file privately instead and holds the kernel's read lease on it:
// a program that opens the file for writing or truncates it is held back until the lease is
// given up, and before that the mapping is replaced by a copy of the same bytes at the same
// address. Every pointer into it stays valid and nothing the index reads ever changes.
#pragma once

#include "index/FileDescriptor.h"

#include <cstddef>
#include <memory>

namespace vesko {

class ArchiveLease {
public:
    // A read lease on `file` (open read-only, the caller's own), which then belongs to the
    // lease; or null, `file` left as it was, when the kernel, the file system or a program
    // that has the file open for writing refuses one.
    static std::unique_ptr<ArchiveLease> take(FileDescriptor& file);
    ~ArchiveLease(); // gives the lease up; the mapping it guarded must still be there
    ArchiveLease(const ArchiveLease&) = delete;
    ArchiveLease& operator=(const ArchiveLease&) = delete;

    // From now on a break copies the private mapping [base, base + size) of the file before
    // the writer goes on. False when the lease was already broken: the mapping may then hold
    // the writer's bytes and must not be used.
    bool guard(void* base, std::size_t size);

    int fileDescriptor() const { return file_.get(); }

private:
    explicit ArchiveLease(FileDescriptor file) : file_(std::move(file)) {}
    FileDescriptor file_;
};

} // namespace vesko
