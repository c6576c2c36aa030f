// SPDX-License-Identifier: MIT
// What the watcher cannot do, told to the user instead of lost silently: folders past the
// inotify watch limit (and the limit that would cover them), an overflowed event queue
// being recovered by a rescan, a root that is gone or cannot be read.
#include "store/IndexStore.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace vesko {
namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t readNumber(const std::string& path) {
    std::ifstream file(path);
    std::int64_t value = 0;
    return file >> value ? value : 0;
}

} // namespace

void IndexStore::resetWatchHealth() {
    const bool changed = watchLimitReached_ || !unwatched_.empty() || isRecoveringOverflow_ ||
                         !vanishedRoots_.empty();
    watchLimitReached_ = false;
    unwatched_.clear();
    isRecoveringOverflow_ = false;
    vanishedRoots_.clear();
    if (changed) emit watchHealthChanged();
}

void IndexStore::noteWatcherBatch(const FileSystemWatcher::Batch& batch) {
    const auto& rescans = batch.mustScanSubtrees;
    const auto named = [&](const std::string& root) {
        return std::find(rescans.begin(), rescans.end(), root) != rescans.end();
    };
    bool changed = false;
    const bool limitReached = watcher_ && watcher_->watchLimitReached();
    if (limitReached != watchLimitReached_) {
        watchLimitReached_ = limitReached;
        changed = true;
    }
    for (const std::string& path : rescans) {
        const bool isRoot =
            std::find(watchedRoots_.begin(), watchedRoots_.end(), path) != watchedRoots_.end();
        if (isRoot && !isDirectory(path)) {
            changed |= vanishedRoots_.insert(path).second;
            // An extra root deleted leaves the roots: its entries go with a rebuild.
            QTimer::singleShot(0, this, &IndexStore::checkExtraRoots);
        }
        // The watcher names a folder it could not watch once; from then on only the
        // periodic rescan keeps it current.
        if (!isRoot && limitReached) changed |= unwatched_.insert(path).second;
    }
    const bool everyRoot =
        !watchedRoots_.empty() && std::all_of(watchedRoots_.begin(), watchedRoots_.end(), named);
    if (watcherCatchingUp_) {
        // The first batch after a start from the archive names every root on purpose.
        watcherCatchingUp_ = false;
    } else if (everyRoot && vanishedRoots_.empty() && !isRecoveringOverflow_) {
        isRecoveringOverflow_ = true;
        changed = true;
    }
    if (changed) emit watchHealthChanged();
}

void IndexStore::updateWatchHealth(const FileSystemWatcher::Batch& applied) {
    bool changed = false;
    if (isRecoveringOverflow_) {
        const auto& rescans = applied.mustScanSubtrees;
        const bool everyRoot =
            std::all_of(watchedRoots_.begin(), watchedRoots_.end(), [&](const std::string& root) {
                return std::find(rescans.begin(), rescans.end(), root) != rescans.end();
            });
        if (everyRoot) {
            isRecoveringOverflow_ = false;
            changed = true;
        }
    }
    for (auto it = vanishedRoots_.begin(); it != vanishedRoots_.end();) {
        if (isDirectory(*it)) {
            it = vanishedRoots_.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    if (changed) emit watchHealthChanged();
}

void IndexStore::setUnreadableRoots(std::vector<IndexBuilder::UnreadableRoot> roots) {
    if (roots == unreadableRoots_) return;
    unreadableRoots_ = std::move(roots);
    emit watchHealthChanged();
}

qint64 IndexStore::suggestedWatchLimit() const {
    if (!watchLimitReached_) return 0;
    // Enough for every folder that is watched now and every one that is not, rounded up
    // to a round figure for the sysctl line.
    const std::int64_t needed = readNumber(env_.maxUserWatchesPath) + unwatchedFolders();
    constexpr std::int64_t step = 1024;
    return (needed + step - 1) / step * step;
}

QStringList IndexStore::vanishedRoots() const {
    QStringList list;
    for (const std::string& root : vanishedRoots_)
        list << QString::fromStdString(root);
    return list;
}

} // namespace vesko
