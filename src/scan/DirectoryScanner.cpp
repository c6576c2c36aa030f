// SPDX-License-Identifier: MIT
#include "scan/DirectoryScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vesko::DirectoryScanner {
namespace {

// Closes the directory on every path out of `scan`, including a callback that throws.
class DirectoryHandle {
public:
    explicit DirectoryHandle(const char* path)
        : fd_(::openat(AT_FDCWD, path, O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC)) {}
    ~DirectoryHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;

    int fd() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

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

void deliver(int dirFd, const struct dirent64& d, const EntryCallback& onEntry) {
    const char* name = d.d_name;
    const std::size_t length = std::strlen(name);
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

Outcome scan(const char* path, std::span<std::byte> buffer, std::int64_t& syscalls,
             EntryCallback onEntry) {
    const DirectoryHandle directory(path);
    if (!directory.isOpen()) return Outcome::failed;
    for (;;) {
        const long n = ::syscall(SYS_getdents64, directory.fd(), buffer.data(), buffer.size());
        ++syscalls;
        if (n == 0) return Outcome::completed;
        if (n < 0) {
            if (errno == EINTR) continue;
            return Outcome::failed;
        }
        for (long offset = 0; offset < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer.data() + offset);
            offset += d->d_reclen;
            if (!isDotOrDotDot(d->d_name)) deliver(directory.fd(), *d, onEntry);
        }
    }
}

} // namespace vesko::DirectoryScanner
