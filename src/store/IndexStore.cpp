// SPDX-License-Identifier: MIT
#include "store/IndexStore.h"

#include "index/IndexArchive.h"
#include "scan/Roots.h"
#include "store/LastFullScan.h"
#include "store/MountWatcher.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/stat.h>

namespace vesko {
namespace {

bool isExistingPath(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// "index-….veskoindex" becomes "index-…-2.veskoindex", still an archive to the cache's sweep.
std::string besideName(const std::string& path) {
    constexpr std::string_view suffix = ".veskoindex";
    if (!path.ends_with(suffix)) return path + "-2";
    return path.substr(0, path.size() - suffix.size()) + "-2" + std::string(suffix);
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
      tasks_(std::make_unique<StoreTasks>(this)), navigator_(std::make_shared<IndexNavigator>()),
      rows_(std::make_shared<const std::vector<SearchRow>>()),
      generation_(std::make_shared<SearchGeneration>()) {
    auxiliaryLastUsed_ = lastSave_ = steadyNow();
    extraRoots_ = settings_.extraRoots();
    excludedFolders_ = settings_.excludedFolders();
    for (const std::string& file : {settings_.filePath(), env_.archivePath({env_.home})})
        ownFolders_.push_back(std::filesystem::path(file).parent_path().string());
    loadSearchSettings();

    const auto ms = [](StoreTiming::Duration d) { return static_cast<int>(d.count()); };
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(ms(env_.timing.flushDelay));
    connect(&flushTimer_, &QTimer::timeout, this, &IndexStore::flushPending);
    debounceTimer_.setSingleShot(true);
    connect(&debounceTimer_, &QTimer::timeout, this, &IndexStore::runSearch);
    historyTimer_.setSingleShot(true);
    historyTimer_.setInterval(ms(env_.timing.historySettle));
    connect(&historyTimer_, &QTimer::timeout, this, &IndexStore::recordQuery);
    drainTimer_.setInterval(ms(env_.timing.watchdogInterval));
    connect(&drainTimer_, &QTimer::timeout, this, &IndexStore::refreshIfStale);
    reaperTimer_.setInterval(ms(env_.timing.reaperInterval));
    connect(&reaperTimer_, &QTimer::timeout, this, &IndexStore::reap);
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("initialConsonants")) search();
    });
}

IndexStore::~IndexStore() {
    // Running searches stop at their next check; the watcher delivers nothing more once its
    // stop has run on the lane; builds and saves are waited for, as they hold this object.
    generation_->advance();
    stopWatching();
    tasks_->waitForDone();
}

std::chrono::steady_clock::time_point IndexStore::steadyNow() const {
    return env_.timing.steadyNow();
}

double IndexStore::wallNow() const {
    return env_.timing.wallNow();
}

std::string IndexStore::archivePath() {
    const std::string wanted = env_.archivePath(roots());
    if (!isFolder(wanted)) return wanted;
    const std::string beside = besideName(wanted);
    if (displacedArchive_ != wanted) {
        displacedArchive_ = wanted;
        setActionProblem(tr("A folder is where the index file belongs (%1), so the index is "
                            "saved as %2 instead.")
                             .arg(QString::fromStdString(wanted), QString::fromStdString(beside)));
    }
    return beside;
}

} // namespace vesko
