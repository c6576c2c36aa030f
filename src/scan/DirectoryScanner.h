// SPDX-License-Identifier: GPL-3.0-or-later
// Lists one directory without following links: names in large getdents64 batches, then
// one statx per entry for its type, size and three times. The inner loop of the full
// scan, so it allocates nothing and hands each entry straight to the caller.
#pragma once

#include "index/EntryFlags.h"
#include "index/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/stat.h>
#include <type_traits>
#include <utility>

namespace vesko::DirectoryScanner {

enum class Outcome { completed, failed };

// Bytes of the listing buffer each worker owns; larger batches mean fewer calls.
inline constexpr std::size_t bufferSize = 0x40000;

// Receives (name bytes, name length, flags, size, modified, created, accessed). The name
// is only valid during the call. Sizes of folders are 0; a time the file system does not
// keep is 0. A non-owning reference: the callable must outlive the scan.
class EntryCallback {
public:
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, EntryCallback>)
        EntryCallback(F&& f) // NOLINT: implicit by design, like a function reference
        : object_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, const char* name, std::size_t length, EntryFlags flags,
                   std::uint64_t size, std::uint32_t modified, std::uint32_t created,
                   std::uint32_t accessed) {
              (*static_cast<std::remove_reference_t<F>*>(o))(name, length, flags, size, modified,
                                                             created, accessed);
          }) {}

    void operator()(const char* name, std::size_t length, EntryFlags flags, std::uint64_t size,
                    std::uint32_t modified, std::uint32_t created, std::uint32_t accessed) const {
        call_(object_, name, length, flags, size, modified, created, accessed);
    }

private:
    void* object_;
    void (*call_)(void*, const char*, std::size_t, EntryFlags, std::uint64_t, std::uint32_t,
                  std::uint32_t, std::uint32_t);
};

// Told each name just before its statx, so that the caller can start fetching what it will
// need for the entry while the kernel works. Empty by default; non-owning, as above.
class NameHint {
public:
    NameHint() = default;
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, NameHint>)
        NameHint(F&& f) // NOLINT: implicit by design, like a function reference
        : object_(const_cast<void*>(static_cast<const void*>(&f))),
          call_([](void* o, const char* name, std::size_t length) {
              (*static_cast<std::remove_reference_t<F>*>(o))(name, length);
          }) {}

    explicit operator bool() const { return call_ != nullptr; }
    void operator()(const char* name, std::size_t length) const { call_(object_, name, length); }

private:
    void* object_ = nullptr;
    void (*call_)(void*, const char*, std::size_t) = nullptr;
};

// An owned file descriptor, closed when it goes; -1 when nothing is open.
using Descriptor = FileDescriptor;

// Opens the folder at path for reading, refusing a link as the last component and anything
// that is not a folder; on failure the result is closed and errno tells why. A path of
// PATH_MAX bytes or more, which the kernel refuses whole, is opened piece by piece, each
// piece relative to the one before: the first piece resolves as a short path would (a root
// may lie behind a link such as /home), and every later component must be a real folder,
// since the scan listed it as one. Costs one open per PATH_MAX bytes of path (one per
// component on kernels without openat2).
Descriptor openDirectory(const char* path);

// Opens a root for listing as `openDirectory` does, except that the root itself may be a
// link to a folder (a home folder on another disk often is): the user named that path, so
// it is followed. Links below a root are never followed.
Descriptor openRoot(const char* path);

// lstat of a path of any length: past PATH_MAX the parent is opened piece by piece (as
// `openDirectory` opens a long path, with search permission only) and the last component
// is looked at relative to it. False with errno set when the path names nothing.
bool statNoFollow(const std::string& path, struct stat& status);

// Opens the folder `name`, a single component, inside the open folder `parent` for
// listing, refusing a link and anything that is not a folder. Cheaper than a whole path:
// the kernel looks up one name instead of every component.
Descriptor openDirectoryAt(int parent, const char* name);

// Lists the open directory `directory` as `scan` below does once it has opened its path.
Outcome scan(int directory, std::span<std::byte> buffer, std::int64_t& syscalls,
             EntryCallback onEntry, NameHint beforeStat = {});

// Lists the directory at path (absolute, or relative to the working directory; any length,
// see `openDirectory`). Fails when it cannot be opened as a directory (missing, no
// permission, a link or a file) or when reading stops with an error; entries delivered
// before a failure stay delivered.
// "." and ".." are never delivered; an entry removed between listing and statx is
// skipped. Adds one to syscalls per getdents64 call, successful or not. buffer should be
// bufferSize bytes, 8-byte aligned.
Outcome scan(const char* path, std::span<std::byte> buffer, std::int64_t& syscalls,
             EntryCallback onEntry);

} // namespace vesko::DirectoryScanner
