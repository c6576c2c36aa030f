// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/UsedFiles.h"

#include "index/Unicode.h"

#include <sys/stat.h>

#include <chrono>
#include <mutex>

namespace vesko {
namespace {

constexpr std::int64_t day = 86400;

std::int64_t secondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Whether the folder of `dir` (up to its root) is `folder`, compared from the leaf upward so
// that another copy of the name is usually turned away at its first or second folder.
bool isFolder(std::string_view folder, std::uint32_t dir, const FileIndex& index,
              const NameTable& names) {
    for (std::uint32_t d = dir;; d = index.dirParent[d]) {
        if (index.dirParent[d] == d) {
            // A root of "/" adds no text of its own: "/a" lies in its child "a".
            const auto root = index.rootPaths.find(d);
            if (root == index.rootPaths.end() || root->second == "/") return folder.empty();
            return folder == root->second;
        }
        const std::string_view name = names.displayBytes(index.dirName[d]);
        if (folder.size() <= name.size() || !folder.ends_with(name) ||
            folder[folder.size() - name.size() - 1] != '/')
            return false;
        folder.remove_suffix(name.size() + 1);
    }
}

} // namespace

int UsedFiles::tierOf(std::uint32_t count, std::int64_t last, std::int64_t now) {
    const std::int64_t age = now - last;
    const std::int64_t weight = age < day ? 4 : age < 7 * day ? 2 : age < 31 * day ? 1 : 0;
    const std::int64_t score = std::min<std::int64_t>(count, 16) * weight;
    return score >= 8 ? 0 : score >= 2 ? 1 : 2;
}

UsedFiles::UsedFiles(const UseCounts& counts, std::int64_t now) {
    for (const UseCounts::Use& use : counts.uses()) {
        const std::size_t slash = use.path.rfind('/');
        const std::string name = use.path.substr(slash + 1);
        if (name.empty()) continue;
        byName_[name].push_back({use.path.substr(0, slash), tierOf(use.count, use.last, now)});
        const std::string folded = Unicode::folded(name);
        if (folded.empty()) continue;
        lengths_ |= std::uint64_t{1} << (folded.size() & 63);
        const auto first = static_cast<unsigned char>(folded[0]);
        firstBytes_[first >> 6] |= std::uint64_t{1} << (first & 63);
        foldedNames_.insert(folded);
    }
}

int UsedFiles::tier(std::int64_t entry, const FileIndex& index, const NameTable& names) const {
    const auto i = static_cast<std::size_t>(entry);
    const auto found = byName_.find(names.displayBytes(index.entryName[i]));
    if (found == byName_.end()) return unusedTier;
    for (const Candidate& candidate : found->second)
        if (isFolder(candidate.folder, index.entryDir[i], index, names)) return candidate.tier;
    return unusedTier;
}

std::shared_ptr<const UsedFiles> UsedFiles::current(const std::string& file) {
    struct Snapshot {
        std::string file;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        off_t size = 0;
        std::int64_t madeAt = 0;
        std::shared_ptr<const UsedFiles> used;
    };
    static std::mutex lock;
    static Snapshot last;
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return nullptr;
    const std::int64_t now = secondsNow();
    std::lock_guard guard(lock);
    const bool same = last.file == file && last.device == status.st_dev &&
                      last.inode == status.st_ino && last.size == status.st_size &&
                      last.modified.tv_sec == status.st_mtim.tv_sec &&
                      last.modified.tv_nsec == status.st_mtim.tv_nsec;
    if (!same || now - last.madeAt >= 3600 || now < last.madeAt) {
        auto used = std::make_shared<const UsedFiles>(UseCounts::read(file), now);
        last = {file,
                status.st_dev,
                status.st_ino,
                status.st_mtim,
                status.st_size,
                now,
                used->empty() ? nullptr : std::move(used)};
    }
    return last.used;
}

} // namespace vesko
