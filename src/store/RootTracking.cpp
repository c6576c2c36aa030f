// SPDX-License-Identifier: MIT
// What is indexed: the home folder and the extra roots that exist now (or the one
// developer root), the user's exclusions and the built-in ones, and the mounted volumes.
// Any change in the effective roots or exclusions rebuilds quietly; a file system mounted
// or unmounted inside a root has that folder read again.
#include "store/IndexStore.h"

#include "scan/ExclusionDrift.h"
#include "scan/Roots.h"
#include "store/MountWatcher.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vesko {
namespace {

QStringList toList(const auto& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

} // namespace

std::vector<std::string> IndexStore::roots() const {
    if (env_.devRoot) return IndexBuilder::normalize({*env_.devRoot});
    std::vector<std::string> list{env_.home};
    for (const std::string& root : extraRoots_)
        if (env_.pathExists(root)) list.push_back(root);
    return IndexBuilder::normalize(list);
}

std::set<std::string> IndexStore::existingExtraRoots() const {
    std::set<std::string> existing;
    for (const std::string& root : extraRoots_)
        if (env_.pathExists(root)) existing.insert(root);
    return existing;
}

void IndexStore::setExtraRoots(const std::vector<std::string>& list) {
    if (list == extraRoots_) return;
    extraRoots_ = list;
    settings_.setExtraRoots(list);
    emit extraRootsChanged();
    mountedExtraRoots_ = existingExtraRoots();
    emit mountedExtraRootsChanged();
    watchExtraRootParents();
    rebuildQuietly();
}

void IndexStore::setExcludedFolders(const std::vector<std::string>& list) {
    if (Exclusions::normalize(list, env_.home) == excludedFolders_) return;
    settings_.setExcludedFolders(list);
    excludedFolders_ = settings_.excludedFolders();
    emit excludedFoldersChanged();
    rebuildQuietly();
}

void IndexStore::volumesChanged() {
    mountedVolumes_ = env_.mountedVolumes();
    emit mountedVolumesChanged();
    checkMountsInsideRoots();
    checkExtraRoots();
}

void IndexStore::checkExtraRoots() {
    watchExtraRootParents();
    auto existing = existingExtraRoots();
    if (existing == mountedExtraRoots_) return;
    // A root that appeared may fill up while the rebuild reads it, before any watch is on
    // it; it is read once more when the new watcher is in place.
    for (const std::string& root : existing)
        if (!mountedExtraRoots_.contains(root)) rescanOnceWatched_.insert(root);
    mountedExtraRoots_ = std::move(existing);
    emit mountedExtraRootsChanged();
    rebuildQuietly();
}

void IndexStore::watchExtraRootParents() {
    if (!rootParentsWatcher_) {
        rootParentsWatcher_ = new QFileSystemWatcher(this);
        connect(rootParentsWatcher_, &QFileSystemWatcher::directoryChanged, this,
                &IndexStore::checkExtraRoots);
    }
    // The nearest folder above each root that exists: its listing changes when the root is
    // deleted or made, or when a folder on the way to it is.
    QStringList wanted;
    for (const std::string& root : extraRoots_) {
        std::filesystem::path folder = std::filesystem::path(root).parent_path();
        std::error_code error;
        while (folder.has_relative_path() && !std::filesystem::is_directory(folder, error))
            folder = folder.parent_path();
        wanted << QString::fromStdString(folder.string());
    }
    const QStringList watched = rootParentsWatcher_->directories();
    for (const QString& folder : watched)
        if (!wanted.contains(folder)) rootParentsWatcher_->removePath(folder);
    for (const QString& folder : wanted)
        if (!watched.contains(folder) && !rootParentsWatcher_->directories().contains(folder))
            rootParentsWatcher_->addPath(folder);
}

// A file system mounted inside a root hides the folder's old contents and brings its own;
// unmounted, the reverse. inotify reports neither, so the folder is read again and the
// watches are laid anew over what is there now.
void IndexStore::checkMountsInsideRoots() {
    std::ifstream file(env_.mountInfoPath);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::string> points = Volumes::mountPoints(text.str());
    std::vector<std::string> changed;
    for (const std::string& point : points)
        if (std::find(mountPoints_.begin(), mountPoints_.end(), point) == mountPoints_.end())
            changed.push_back(point);
    for (const std::string& point : mountPoints_)
        if (std::find(points.begin(), points.end(), point) == points.end())
            changed.push_back(point);
    mountPoints_ = std::move(points);
    const auto current = roots();
    std::vector<std::string> inside;
    for (const std::string& point : changed)
        for (const std::string& root : current)
            if (point == root || point.starts_with(root == "/" ? root : root + "/"))
                inside.push_back(point);
    if (inside.empty() || !index_) return;
    if (watcher_) {
        rescanOnceWatched_.insert(inside.begin(), inside.end());
        replaceWatcher(0);
        return;
    }
    FileSystemWatcher::Batch batch;
    batch.mustScanSubtrees = std::move(inside);
    batch.lastEventID = lastEventID_;
    enqueue(std::move(batch));
}

void IndexStore::settingsFileChanged() {
    // QSettings replaces the file when it writes, which ends a watch on it; so does an editor.
    watchSettingsFile();
    settings_.sync(); // takes in what another program wrote
    bool rebuild = false;
    if (auto extra = settings_.extraRoots(); extra != extraRoots_) {
        extraRoots_ = std::move(extra);
        emit extraRootsChanged();
        mountedExtraRoots_ = existingExtraRoots();
        emit mountedExtraRootsChanged();
        watchExtraRootParents();
        rebuild = true;
    }
    if (auto excluded = settings_.excludedFolders(); excluded != excludedFolders_) {
        excludedFolders_ = std::move(excluded);
        emit excludedFoldersChanged();
        rebuild = true;
    }
    if (rebuild && phase_ != Phase::idle) rebuildQuietly();
}

void IndexStore::watchSettingsFile() {
    if (!settingsWatcher_) {
        settingsWatcher_ = new QFileSystemWatcher(this);
        connect(settingsWatcher_, &QFileSystemWatcher::fileChanged, this,
                &IndexStore::settingsFileChanged);
        // A file written anew appears in its folder without a change of the old one.
        connect(settingsWatcher_, &QFileSystemWatcher::directoryChanged, this,
                &IndexStore::settingsFileChanged);
    }
    const QString file = QString::fromStdString(settings_.filePath());
    if (!settingsWatcher_->files().contains(file)) settingsWatcher_->addPath(file);
    const QString folder = QFileInfo(file).absolutePath();
    if (!settingsWatcher_->directories().contains(folder)) settingsWatcher_->addPath(folder);
}

// An archive keeps what was indexed under the exclusions of its day. When they differ from
// today's (edited while Vesko was not running, or new built-in ones), a quiet rebuild puts
// the index in line; the check runs in the background so the start is not held up.
void IndexStore::checkExclusionDrift() {
    if (!index_ || !names_) return;
    tasks_->run(StoreTasks::Priority::utility,
                [this, epoch = indexEpoch_, index = *index_, names = names_,
                 excluded = IndexBuilder::excluded(roots(), effectiveExclusions())] {
                    const bool differs = ExclusionDrift::differs(index, *names, excluded);
                    tasks_->deliver([this, epoch, differs] {
                        if (differs && epoch == indexEpoch_ && phase_ == Phase::ready &&
                            !isRefreshing_)
                            rebuildQuietly();
                    });
                });
}

void IndexStore::watchVolumeChanges() {
    watchExtraRootParents();
    if (mountWatcher_) return;
    checkMountsInsideRoots(); // only notes the mounts of now: there is no index yet
    mountWatcher_ = new MountWatcher(this);
    mountWatcher_->watch(env_.mountInfoPath);
    connect(mountWatcher_, &MountWatcher::changed, this, &IndexStore::volumesChanged);
}

std::vector<std::string> IndexStore::builtInExclusions() const {
    std::vector<std::string> tops = roots();
    for (const Volume& volume : mountedVolumes_)
        tops.push_back(volume.path);
    std::vector<std::string> folders = Exclusions::trashFolders(env_.home, tops);
    folders.insert(folders.end(), ownFolders_.begin(), ownFolders_.end());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

QStringList IndexStore::builtInExclusionList() const {
    return toList(builtInExclusions());
}

std::vector<std::string> IndexStore::effectiveExclusions() const {
    std::vector<std::string> all = excludedFolders_;
    const auto builtIn = builtInExclusions();
    all.insert(all.end(), builtIn.begin(), builtIn.end());
    return all;
}

QStringList IndexStore::extraRootList() const {
    return toList(extraRoots_);
}

QStringList IndexStore::mountedExtraRootList() const {
    return toList(mountedExtraRoots_);
}

QStringList IndexStore::excludedFolderList() const {
    return toList(excludedFolders_);
}

} // namespace vesko
