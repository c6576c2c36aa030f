// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/ArchiveFolder.h"

#include "index/HomeFolder.h"
#include "index/PrivateFolders.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <tuple>

namespace vesko::ArchiveFolder {
namespace {

constexpr std::string_view archivePrefix = "index-";
constexpr std::string_view archiveSuffix = ".veskoindex";
constexpr std::string_view temporarySuffix = ".tmp";
constexpr char tagName[] = "CACHEDIR.TAG";
constexpr char tagText[] = "Signature: 8a477f597d28d172789f06886806bc55\n"
                           "# This file marks Vesko's regenerable index cache; backups may skip "
                           "this folder.\n"
                           "# See https://bford.info/cachedir/\n";

std::string cacheFolder() {
    return cacheHome() + "/vesko";
}

// The archives list the user's private file names: a folder made by an older version or by
// hand with looser modes is tightened, but only when it is the user's own.
void tighten(const std::string& folder) {
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0) return;
    if (status.st_uid == ::geteuid() && (status.st_mode & 077) != 0) ::fchmod(fd.get(), 0700);
}

void writeCacheTag(const std::string& folder) {
    const std::string tag = folder + "/" + tagName;
    FileDescriptor fd(::open(tag.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd) return;
    // A partial tag would never be rewritten, so drop it and try again on the next call.
    if (writeAll(fd.get(), tagText, sizeof tagText - 1) != 0 || fd.close() != 0)
        ::unlink(tag.c_str());
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isArchiveName(std::string_view name) {
    return name.starts_with(archivePrefix) && endsWith(name, archiveSuffix);
}

// Removes the temporary file unless a writer holds its lock. The name is checked to still
// be the locked file, so a file renamed away and replaced meanwhile is left alone.
void removeIfAbandoned(int folderFd, const char* name) {
    const FileDescriptor fd(
        ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return;
    struct stat locked {
    }, named{};
    if (::fstat(fd.get(), &locked) == 0 &&
        ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        locked.st_ino == named.st_ino && locked.st_dev == named.st_dev)
        ::unlinkat(folderFd, name, 0);
}

std::string randomPart() {
    unsigned long long value = 0;
    if (::getrandom(&value, sizeof value, 0) != sizeof value)
        value = static_cast<unsigned long long>(::getpid()) << 32 ^
                reinterpret_cast<std::uintptr_t>(&value);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", value);
    return text;
}

struct Recency {
    std::string name;
    struct timespec usedAt;
};

} // namespace

std::string prepare() {
    const std::string folder = cacheFolder();
    makePrivateFolders(folder);
    tighten(folder);
    writeCacheTag(folder);
    sweepLeftovers(folder);
    return folder;
}

std::string pathFor(const std::string& folder, const std::vector<std::string>& roots) {
    std::string joined;
    for (const auto& root : roots)
        joined.append(root).push_back('\0');
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(XXH3_64bits(joined.data(), joined.size())));
    return folder + "/" + std::string(archivePrefix) + hash + std::string(archiveSuffix);
}

void markUsed(int archiveFd) {
    // The access time, set explicitly, works under relatime and noatime alike and leaves the
    // modification time to the writers.
    const struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
    ::futimens(archiveFd, times);
}

namespace {

// The cache folder's per-roots archives, the most recently used first.
std::vector<Recency> archivesByRecency(DIR* listing) {
    std::vector<Recency> archives;
    while (const dirent* item = ::readdir(listing)) {
        struct stat status {};
        if (isArchiveName(item->d_name) &&
            ::fstatat(::dirfd(listing), item->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0)
            archives.push_back({item->d_name, status.st_atim});
    }
    std::sort(archives.begin(), archives.end(), [](const Recency& a, const Recency& b) {
        return std::tie(a.usedAt.tv_sec, a.usedAt.tv_nsec) >
               std::tie(b.usedAt.tv_sec, b.usedAt.tv_nsec);
    });
    return archives;
}

} // namespace

void keepRecent(const std::string& folder, const std::vector<std::string>& protectedPaths) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return;
    const std::vector<Recency> archives = archivesByRecency(listing);
    const auto isProtected = [&](const Recency& archive) {
        return std::find(protectedPaths.begin(), protectedPaths.end(),
                         folder + "/" + archive.name) != protectedPaths.end();
    };
    std::size_t kept = std::count_if(archives.begin(), archives.end(), isProtected);
    for (const auto& archive : archives) {
        if (isProtected(archive)) continue;
        if (kept < keptArchives)
            ++kept;
        else
            ::unlinkat(::dirfd(listing), archive.name.c_str(), 0);
    }
    ::closedir(listing);
}

std::optional<std::string> mostRecentlyUsed(const std::string& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return std::nullopt;
    const std::vector<Recency> archives = archivesByRecency(listing);
    ::closedir(listing);
    if (archives.empty()) return std::nullopt;
    return folder + "/" + archives.front().name;
}

void sweepLeftovers(const std::string& folder) {
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return;
    while (const dirent* item = ::readdir(listing)) {
        const std::string_view name = item->d_name;
        if (endsWith(name, temporarySuffix))
            removeIfAbandoned(::dirfd(listing), item->d_name);
        else if (endsWith(name, "index") && !isArchiveName(name))
            ::unlinkat(::dirfd(listing), item->d_name, 0); // an archive under an older name
    }
    ::closedir(listing);
}

Created createTemporary(const std::string& target) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string path = target + "." + randomPart() + std::string(temporarySuffix);
        FileDescriptor fd(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == EEXIST) continue;
            return {std::nullopt, errno};
        }
        // A sweep that took the lock between the create and this one has removed the name;
        // then the file is no use and another name is tried.
        struct stat status {};
        while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        if (::fstat(fd.get(), &status) != 0) return {std::nullopt, errno};
        if (status.st_nlink == 0) continue;
        return {Temporary{std::move(fd), std::move(path)}, 0};
    }
    return {std::nullopt, EEXIST};
}

} // namespace vesko::ArchiveFolder
