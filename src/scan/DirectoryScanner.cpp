// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/DirectoryScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

namespace vesko::DirectoryScanner {
namespace {

constexpr int listFlags = O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;
// Folders passed through on the way: O_PATH needs search permission only, as a path does.
constexpr int passFlags = O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;
// The longest text the kernel takes as one path, its terminating zero aside.
constexpr std::size_t longestPiece = PATH_MAX - 1;

// Cuts the longest leading run of whole components of at most longestPiece bytes off
// `rest`. Empty when the first component alone is longer, which no file system allows.
std::string nextPiece(std::string_view& rest) {
    std::string_view piece = rest;
    if (rest.size() > longestPiece) {
        const std::size_t slash = rest.rfind('/', longestPiece);
        if (slash == std::string_view::npos || slash == 0) return {};
        piece = rest.substr(0, slash);
        rest.remove_prefix(slash);
    } else {
        rest = {};
    }
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    return std::string(piece);
}

// One component at a time, each refusing a link: for kernels without openat2.
Descriptor openEachComponent(int from, const std::string& piece, int lastFlags) {
    Descriptor current;
    for (std::size_t begin = 0; begin < piece.size();) {
        std::size_t end = piece.find('/', begin);
        if (end == std::string::npos) end = piece.size();
        const std::string name = piece.substr(begin, end - begin);
        begin = end + 1;
        if (name.empty()) continue;
        const bool last = piece.find_first_not_of('/', end) == std::string::npos;
        const int at = current ? current.get() : from;
        Descriptor next(::openat(at, name.c_str(), last ? lastFlags : passFlags));
        if (!next) return next;
        current = std::move(next);
    }
    return current;
}

// The piece relative to `from` with no link anywhere in it.
Descriptor openWithoutLinks(int from, const std::string& piece, int flags) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, from, piece.c_str(), &how, sizeof how);
    if (fd >= 0) return Descriptor(static_cast<int>(fd));
    // Older kernels lack the call; some sandboxes refuse unknown calls with EPERM.
    if (errno != ENOSYS && errno != EPERM) return Descriptor();
    return openEachComponent(from, piece, flags);
}

// `lastFlags` opens the last piece; `followFirst` lets the first piece end in a link.
Descriptor openLong(std::string_view path, int lastFlags, bool followFirst) {
    Descriptor current;
    for (bool first = true; !path.empty(); first = false) {
        const std::string piece = nextPiece(path);
        if (piece.empty()) {
            errno = ENAMETOOLONG;
            return Descriptor();
        }
        const bool last = path.empty();
        Descriptor next;
        if (!first)
            next = openWithoutLinks(current.get(), piece, last ? lastFlags : passFlags);
        else if (!last)
            next = Descriptor(::openat(AT_FDCWD, piece.c_str(), passFlags & ~O_NOFOLLOW));
        else // only slashes were cut away
            next = Descriptor(::openat(AT_FDCWD, piece.c_str(),
                                       followFirst ? lastFlags & ~O_NOFOLLOW : lastFlags));
        if (!next) return next;
        current = std::move(next);
    }
    return current;
}

constexpr int statFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned statMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

EntryFlags flagsOfDirentType(unsigned char type) {
    if (type == DT_DIR) return EntryFlags::directory();
    if (type == DT_LNK) return EntryFlags::symlink();
    return EntryFlags::none();
}

EntryFlags flagsOfMode(unsigned mode) {
    if (S_ISDIR(mode)) return EntryFlags::directory();
    if (S_ISLNK(mode)) return EntryFlags::symlink();
    return EntryFlags::none();
}

std::uint32_t secondsIf(const struct statx& sx, unsigned bit, const struct statx_timestamp& t) {
    return (sx.stx_mask & bit) ? clampSeconds(t.tv_sec) : 0;
}

void deliver(int dirFd, const struct dirent64& d, const EntryCallback& onEntry,
             const NameHint& beforeStat) {
    const char* name = d.d_name;
    const std::size_t length = std::strlen(name);
    if (beforeStat) beforeStat(name, length);
    struct statx sx;
    if (::statx(dirFd, name, statFlags, statMask, &sx) != 0) {
        if (errno == ENOENT) return; // removed since the listing
        // Listed but not describable (I/O error, stale handle): keep the name and type.
        onEntry(name, length, flagsOfDirentType(d.d_type), 0, 0, 0, 0);
        return;
    }
    const EntryFlags flags =
        (sx.stx_mask & STATX_TYPE) ? flagsOfMode(sx.stx_mode) : flagsOfDirentType(d.d_type);
    const bool hasSize = (sx.stx_mask & STATX_SIZE) && !flags.contains(EntryFlags::directory());
    onEntry(name, length, flags, hasSize ? sx.stx_size : 0,
            secondsIf(sx, STATX_MTIME, sx.stx_mtime), secondsIf(sx, STATX_BTIME, sx.stx_btime),
            secondsIf(sx, STATX_ATIME, sx.stx_atime));
}

} // namespace

Descriptor openDirectory(const char* path) {
    Descriptor directory(::openat(AT_FDCWD, path, listFlags));
    if (directory || errno != ENAMETOOLONG) return directory;
    return openLong(path, listFlags, false);
}

Descriptor openRoot(const char* path) {
    Descriptor directory(::openat(AT_FDCWD, path, listFlags & ~O_NOFOLLOW));
    if (directory || errno != ENAMETOOLONG) return directory;
    return openLong(path, listFlags, true);
}

bool statNoFollow(const std::string& path, struct stat& status) {
    if (::lstat(path.c_str(), &status) == 0) return true;
    if (errno != ENAMETOOLONG) return false;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) return false;
    const Descriptor parent = openLong(std::string_view(path).substr(0, slash), passFlags, false);
    if (!parent) return false;
    return ::fstatat(parent.get(), path.c_str() + slash + 1, &status, AT_SYMLINK_NOFOLLOW) == 0;
}

Descriptor openDirectoryAt(int parent, const char* name) {
    return Descriptor(::openat(parent, name, listFlags));
}

Outcome scan(const char* path, std::span<std::byte> buffer, std::int64_t& syscalls,
             EntryCallback onEntry) {
    const Descriptor directory = openDirectory(path);
    if (!directory) return Outcome::failed;
    return scan(directory.get(), buffer, syscalls, onEntry);
}

Outcome scan(int directory, std::span<std::byte> buffer, std::int64_t& syscalls,
             EntryCallback onEntry, NameHint beforeStat) {
    for (;;) {
        const long n = ::syscall(SYS_getdents64, directory, buffer.data(), buffer.size());
        ++syscalls;
        if (n == 0) return Outcome::completed;
        if (n < 0) {
            if (errno == EINTR) continue;
            return Outcome::failed;
        }
        for (long offset = 0; offset < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + offset);
            offset += d->d_reclen;
            if (!isDotOrDotDot(d->d_name)) deliver(directory, *d, onEntry, beforeStat);
        }
    }
}

} // namespace vesko::DirectoryScanner
