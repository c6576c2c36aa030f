// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/IndexStore.h"

#include "index/IndexArchive.h"
#include "scan/Roots.h"
#include "scan/Volumes.h"
#include "store/LastFullScan.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace vesko {
namespace {

bool isExistingPath(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<Volume> volumesIn(const std::string& mountInfoPath) {
    std::ifstream file(mountInfoPath);
    std::stringstream text;
    text << file.rdbuf();
    return Volumes::parseMountInfo(text.str());
}

} // namespace

StoreEnvironment StoreEnvironment::completed() const {
    StoreEnvironment env = *this;
    if (!env.timing.steadyNow)
        env.timing.steadyNow = [] { return std::chrono::steady_clock::now(); };
    if (!env.timing.wallNow) env.timing.wallNow = [] { return LastFullScan::now(); };
    if (env.home.empty()) env.home = homeFolder();
    if (!env.archivePath)
        env.archivePath = [](const std::vector<std::string>& roots) {
            return IndexArchive::urlFor(roots);
        };
    if (!env.mountedVolumes)
        env.mountedVolumes = [path = env.mountInfoPath] { return volumesIn(path); };
    if (!env.pathExists) env.pathExists = isExistingPath;
    // The watcher and the archive want absolute roots; a developer may type a relative one.
    if (env.devRoot)
        env.devRoot = std::filesystem::absolute(*env.devRoot).lexically_normal().string();
    return env;
}

IndexStore::IndexStore(StoreEnvironment environment, QObject* parent)
    : QObject(parent), env_(environment.completed()),
      settings_(env_.settingsPath.empty() ? Settings::defaultFilePath() : env_.settingsPath),
      tasks_(std::make_unique<StoreTasks>(this)), lifecycle_(env_, settings_, *tasks_, problems_),
      session_(env_, settings_, preferences_, *tasks_, lifecycle_),
      actions_(env_, settings_, preferences_, *tasks_, lifecycle_, session_),
      scope_(lifecycle_, session_, *tasks_, env_) {
    if (!settings_.problem().empty())
        problems_.report(StoreProblem::Kind::settingsUnreadable,
                         QString::fromStdString(settings_.filePath()));
}

IndexStore::~IndexStore() {
    // Running searches stop at their next check; the watcher delivers nothing more once its
    // stop has run on the lane; builds and saves are waited for, as they hold the rooms.
    session_.cancelSearches();
    scope_.clear();
    lifecycle_.stopWatching();
    tasks_->waitForDone();
}

bool IndexStore::saveBeforeExit(std::chrono::milliseconds bound) {
    session_.cancelSearches();
    if (!settings_.sync())
        problems_.report(StoreProblem::Kind::settingsNotSaved,
                         QString::fromStdString(settings_.filePath()));
    return lifecycle_.saveBeforeExit(bound);
}

} // namespace vesko
