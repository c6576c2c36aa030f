// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RenameNoReplace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {
namespace {

class Folder {
public:
    explicit Folder(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

void commitPoint(const RenameFaults* faults) {
    if (faults && faults->beforeCommit) faults->beforeCommit();
}

bool refusesLinks(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS;
}

// link + unlink: link fails with EEXIST when the name is taken, however late it appeared.
int linkThenUnlink(int fromDir, const char* from, int toDir, const char* to,
                   const RenameFaults* faults) {
    if (faults && faults->refuseLinks) return EPERM;
    commitPoint(faults);
    if (::linkat(fromDir, from, toDir, to, 0) != 0) return errno;
    if (::unlinkat(fromDir, from, 0) != 0) {
        const int error = errno;
        ::unlinkat(toDir, to, 0); // the item is still at its old name
        return error;
    }
    return 0;
}

// Claims the new name with an empty item made exclusively (mkdir and O_EXCL fail when the
// name is taken), then renames over that claim. Someone who replaces the claim with a
// non-empty folder or a file of another type makes the rename fail instead.
int renameOverClaim(int fromDir, const char* from, int toDir, const char* to, bool isFolder,
                    const RenameFaults* faults) {
    if (isFolder) {
        if (::mkdirat(toDir, to, 0700) != 0) return errno;
    } else {
        const int fd = ::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        ::close(fd);
    }
    commitPoint(faults);
    if (::renameat(fromDir, from, toDir, to) == 0) return 0;
    const int error = errno;
    ::unlinkat(toDir, to, isFolder ? AT_REMOVEDIR : 0);
    return error;
}

int moveBetween(int fromDir, const std::string& from, int toDir, const std::string& to,
                const RenameFaults* faults) {
    const bool refuse = faults && faults->refuseFlag;
    if (!refuse) {
        commitPoint(faults);
        if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
        if (errno != EINVAL && errno != ENOSYS) return errno;
    }
    struct stat source {};
    if (::fstatat(fromDir, from.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    const bool isFolder = S_ISDIR(source.st_mode);
    if (!isFolder) {
        const int linked = linkThenUnlink(fromDir, from.c_str(), toDir, to.c_str(), faults);
        if (!refusesLinks(linked)) return linked;
    }
    return renameOverClaim(fromDir, from.c_str(), toDir, to.c_str(), isFolder, faults);
}

} // namespace

int renameNoReplace(const std::string& folder, const std::string& from, const std::string& to,
                    const RenameFaults* faults) {
    const Folder dir(folder);
    if (dir.fd() < 0) return errno;
    return moveBetween(dir.fd(), from, dir.fd(), to, faults);
}

int moveNoReplace(const std::string& fromFolder, const std::string& from,
                  const std::string& toFolder, const std::string& to, const RenameFaults* faults) {
    const Folder source(fromFolder);
    if (source.fd() < 0) return errno;
    const Folder target(toFolder);
    if (target.fd() < 0) return errno;
    return moveBetween(source.fd(), from, target.fd(), to, faults);
}

} // namespace vesko
