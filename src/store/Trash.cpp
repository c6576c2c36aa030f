// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Trash.h"

#include "index/FileDescriptor.h"
#include "index/PrivateFolders.h"
#include "store/PercentEncoding.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vesko::Trash {
namespace {

// A name in the Trash plus ".trashinfo" must fit the 255 bytes of a name.
constexpr std::size_t longestTrashedName = 240;
constexpr int attempts = 1000;

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

std::string lastName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name the item gets in the Trash on the given attempt: its own first, then with a
// number before the extension; a long stem is cut at a character's start.
std::string trashedName(const std::string& name, int attempt) {
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0 && name.size() - dot <= 16;
    std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::string number = attempt == 0 ? std::string() : " (" + std::to_string(attempt) + ")";
    const std::size_t room = longestTrashedName - extension.size() - number.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + number + extension;
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int makeTrashFolders(const std::string& trash) {
    if (const int error = makePrivateFolders(trash + "/files")) return error;
    return makePrivateFolders(trash + "/info");
}

// Which mount `path` lies on: the kernel's mount id, since a bind mount shares its device
// number with the file system it shows and rename(2) still refuses to cross it; the device
// where the kernel gives no mount id. Nothing when `path` cannot be read.
std::optional<std::uint64_t> mountOf(const std::string& path, bool follow) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), follow ? 0 : AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &info) != 0)
        return std::nullopt;
    if (info.stx_mask & STATX_MNT_ID) return info.stx_mnt_id;
    return makedev(info.stx_dev_major, info.stx_dev_minor);
}

// The mount of `path`, or of its nearest ancestor that exists.
std::uint64_t nearestMountOf(std::string path) {
    auto mount = mountOf(path, true);
    while (!mount && path != "/") {
        path = parentOf(path);
        mount = mountOf(path, true);
    }
    return mount.value_or(0);
}

// The top folder of the mount holding `folder`: the last ancestor on the same mount.
std::string topOf(std::string folder, std::uint64_t mount) {
    while (folder != "/") {
        const std::string up = parentOf(folder);
        if (mountOf(up, true) != mount) break;
        folder = up;
    }
    return folder;
}

// The user's Trash on the volume whose top is `top`, made when missing: the shared .Trash
// only when it is a real sticky folder (anyone could have made it), else .Trash-UID, which
// must be the user's own folder and no link.
int volumeTrash(const std::string& top, std::string& trash) {
    const std::string base = top == "/" ? std::string() : top;
    const std::string uid = std::to_string(::getuid());
    struct stat info {};
    const std::string shared = base + "/.Trash";
    if (::lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) &&
        makeTrashFolders(shared + "/" + uid) == 0) {
        trash = shared + "/" + uid;
        return 0;
    }
    trash = base + "/.Trash-" + uid;
    if (::mkdir(trash.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (::lstat(trash.c_str(), &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return EPERM;
    return makeTrashFolders(trash);
}

int moveNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: the info file claimed the name; a stray item in
    // files/ of that name is left alone.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Claims a free name in `trash` with its .trashinfo, then moves the item there.
Moved moveInto(const std::string& path, const std::string& trash) {
    const std::string info =
        "[Trash Info]\nPath=" + percentEncoded(path) + "\nDeletionDate=" + deletionDate() + "\n";
    const std::string name = lastName(path);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const std::string trashed = trashedName(name, attempt);
        const std::string infoPath = trash + "/info/" + trashed + ".trashinfo";
        FileDescriptor claim(
            ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!claim && errno == EEXIST) continue;
        if (!claim) return {errno, {}, {}};
        int error = writeAll(claim.get(), info.data(), info.size());
        if (claim.close() != 0 && error == 0) error = errno;
        const std::string target = trash + "/files/" + trashed;
        if (error == 0) error = moveNoReplace(path, target);
        if (error == 0) return {0, target, infoPath};
        ::unlink(infoPath.c_str());
        if (error != EEXIST) return {error, {}, {}};
    }
    return {EEXIST, {}, {}};
}

} // namespace

Moved move(const std::string& path, const std::string& homeTrash) {
    const auto mount = mountOf(path, false);
    if (!mount) return {errno, {}, {}};
    const auto intoVolumeTrash = [&]() -> Moved {
        std::string trash;
        if (const int error = volumeTrash(topOf(parentOf(path), *mount), trash))
            return {error, {}, {}};
        return moveInto(path, trash);
    };
    const int homeError = makeTrashFolders(homeTrash);
    if (nearestMountOf(homeTrash) != *mount) return intoVolumeTrash();
    if (homeError) return {homeError, {}, {}};
    // Should the mount ids not tell a bind mount apart, rename(2) does: the item then goes to
    // the Trash of its own mount.
    Moved moved = moveInto(path, homeTrash);
    return moved.error == EXDEV ? intoVolumeTrash() : moved;
}

} // namespace vesko::Trash
