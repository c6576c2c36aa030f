// SPDX-License-Identifier: MIT
// What is indexed: the home folder and the extra roots that exist now (or the one
// developer root), the user's exclusions, and the mounted volumes. Any change in the
// effective roots or exclusions rebuilds quietly.
#include "store/IndexStore.h"

#include "scan/Roots.h"
#include "store/MountWatcher.h"

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
    auto existing = existingExtraRoots();
    if (existing == mountedExtraRoots_) return;
    mountedExtraRoots_ = std::move(existing);
    emit mountedExtraRootsChanged();
    rebuildQuietly();
}

void IndexStore::watchVolumeChanges() {
    if (mountWatcher_) return;
    mountWatcher_ = new MountWatcher(this);
    mountWatcher_->watch(env_.mountInfoPath);
    connect(mountWatcher_, &MountWatcher::changed, this, &IndexStore::volumesChanged);
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
