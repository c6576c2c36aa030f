// SPDX-License-Identifier: GPL-3.0-or-later
// The index over time: start from the archive or a full build, live updates from the
// watcher, quiet rebuilds, saves, and the timers that release memory and catch drift. What
// is indexed: the home folder and the extra roots that exist now (or the one developer
// root), the user's exclusions and the built-in ones, and the mounted volumes; any change
// in them rebuilds quietly, and a file system mounted or unmounted inside a root has that
// folder read again. What the watcher cannot do is told rather than lost silently: folders
// past the inotify watch limit, an overflowed event queue being recovered, a root that is
// gone or cannot be read.
#include "store/IndexLifecycle.h"

#include "store/PartialBox.h"

#include "index/FileIndex.h"
#include "index/IndexNavigator.h"
#include "index/NameTable.h"
#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"
#include "scan/Volumes.h"
#include "store/Settings.h"
#include "store/StoreEnvironment.h"
#include "store/StoreProblems.h"
#include "store/StoreTasks.h"

#include "index/IndexArchive.h"
#include "index/IndexCompactor.h"
#include "scan/DirectoryScanner.h"
#include "scan/ExclusionDrift.h"
#include "scan/IndexUpdater.h"
#include "scan/Roots.h"
#include "store/LastFullScan.h"
#include "store/MountWatcher.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <mutex>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <thread>

namespace vesko {
namespace {

constexpr std::int64_t largeRescan = 1000;   // folders
constexpr std::int64_t largeChange = 10'000; // entries added and removed
// The entry count of the last index built or loaded: the best guess of the next first scan.
constexpr char entriesKey[] = "indexEntries";

double residentMebibytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0; // kB
    }
    return 0;
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

void merge(FileSystemWatcher::Batch& into, FileSystemWatcher::Batch batch) {
    into.paths.insert(into.paths.end(), std::make_move_iterator(batch.paths.begin()),
                      std::make_move_iterator(batch.paths.end()));
    into.mustScanSubtrees.insert(into.mustScanSubtrees.end(),
                                 std::make_move_iterator(batch.mustScanSubtrees.begin()),
                                 std::make_move_iterator(batch.mustScanSubtrees.end()));
    into.lastEventID = std::max(into.lastEventID, batch.lastEventID);
}

QStringList toList(const auto& texts) {
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

std::int64_t readNumber(const std::string& path) {
    std::ifstream file(path);
    std::int64_t value = 0;
    return file >> value ? value : 0;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileSystemWatcher::Options watcherOptions(const StoreEnvironment& env) {
    FileSystemWatcher::Options options;
    options.watchLimit = env.watchLimit;
    return options;
}

} // namespace

struct IndexLifecycle::Engine {
    std::optional<IndexBuilder::Report> report;
    std::optional<FileIndex> index;
    SharedNameTable names;
    SharedIndexNavigator navigator = std::make_shared<IndexNavigator>();
    std::shared_ptr<FileSystemWatcher> watcher;
    std::optional<FileSystemWatcher::Batch> pendingBatch;
    // Every change received since the oldest running build started. The build may have
    // read a folder before or after a change; applied again to its result, nothing is lost.
    std::optional<FileSystemWatcher::Batch> replay;
    std::vector<IndexBuilder::UnreadableRoot> unreadableRoots;
    std::vector<Volume> mountedVolumes;
};

struct IndexLifecycle::BuildOutcome {
    bool refreshing = false;
    std::shared_ptr<PartialBox> partials;
    FileIndex index;
    SharedNameTable names;
    IndexBuilder::Report report;
    std::optional<std::string> error;
    double footprintMB = 0;
    double builtAt = 0;
};

struct IndexLifecycle::ApplyOutcome {
    std::optional<FileIndex> index; // nothing when the index could not grow
    SharedNameTable compactedNames; // set when the index was compacted: new ids throughout
    IndexUpdater::Report report;
    FileSystemWatcher::Batch batch;
    std::optional<std::string> failure;
};

IndexLifecycle::IndexLifecycle(const StoreEnvironment& env, Settings& settings, StoreTasks& tasks,
                               StoreProblems& problems, QObject* parent)
    : QObject(parent), env_(env), settings_(settings), tasks_(tasks), problems_(problems),
      engine_(std::make_unique<Engine>()) {
    auxiliaryLastUsed_ = lastSave_ = steadyNow();
    extraRoots_ = settings_.extraRoots();
    excludedFolders_ = settings_.excludedFolders();
    for (const std::string& file : {settings_.filePath(), env_.archivePath({env_.home})})
        ownFolders_.push_back(std::filesystem::path(file).parent_path().string());
    const auto ms = [](StoreTiming::Duration d) { return static_cast<int>(d.count()); };
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(ms(env_.timing.flushDelay));
    connect(&flushTimer_, &QTimer::timeout, this, &IndexLifecycle::flushPending);
    drainTimer_.setInterval(ms(env_.timing.watchdogInterval));
    connect(&drainTimer_, &QTimer::timeout, this, &IndexLifecycle::refreshIfStale);
    reaperTimer_.setInterval(ms(env_.timing.reaperInterval));
    connect(&reaperTimer_, &QTimer::timeout, this, &IndexLifecycle::reap);
}

IndexLifecycle::~IndexLifecycle() {
    stopWatching();
}

const std::optional<IndexBuilder::Report>& IndexLifecycle::report() const {
    return engine_->report;
}

const std::optional<FileIndex>& IndexLifecycle::index() const {
    return engine_->index;
}

const SharedNameTable& IndexLifecycle::names() const {
    return engine_->names;
}

qint64 IndexLifecycle::entryCount() const {
    return engine_->index ? engine_->index->count() : 0;
}

bool IndexLifecycle::hasPendingBatch() const {
    return engine_->pendingBatch.has_value();
}

bool IndexLifecycle::isWatching() const {
    return engine_->watcher != nullptr && watcherStarted_;
}

std::vector<UnreadableFolder> IndexLifecycle::unreadableRoots() const {
    std::vector<UnreadableFolder> folders;
    for (const IndexBuilder::UnreadableRoot& root : engine_->unreadableRoots)
        folders.push_back({root.path, root.error});
    return folders;
}

const std::vector<Volume>& IndexLifecycle::mountedVolumes() const {
    return engine_->mountedVolumes;
}

std::vector<VolumeRow> IndexLifecycle::volumeRows() const {
    std::vector<VolumeRow> rows;
    for (const Volume& volume : engine_->mountedVolumes)
        rows.push_back({volume.path, volume.name, volume.isRemovable, volume.isNetwork});
    return rows;
}

std::chrono::steady_clock::time_point IndexLifecycle::steadyNow() const {
    return env_.timing.steadyNow();
}

double IndexLifecycle::wallNow() const {
    return env_.timing.wallNow();
}

std::string IndexLifecycle::archivePath() {
    const std::string wanted = env_.archivePath(roots());
    if (!isFolder(wanted)) return wanted;
    const std::string beside = besideName(wanted);
    if (displacedArchive_ != wanted) {
        displacedArchive_ = wanted;
        problems_.report(StoreProblem::Kind::archiveDisplaced, QString::fromStdString(wanted));
    }
    return beside;
}

void IndexLifecycle::start() {
    if (phase_ != Phase::idle) return;
    permission_ = Permissions::check(env_.home);
    engine_->mountedVolumes = env_.mountedVolumes();
    emit mountedVolumesChanged();
    mountedExtraRoots_ = existingExtraRoots();
    emit mountedExtraRootsChanged();
    watchVolumeChanges();
    watchSettingsFile();
    if (!loadArchive()) build();
}

bool IndexLifecycle::loadArchive() {
    auto loaded = IndexArchive::load(roots(), archivePath(), IndexArchive::Use::updatable);
    if (!loaded) return false;
    setIndex(std::move(loaded->index), loaded->names);
    settings_.setInteger(entriesKey, entryCount());
    // inotify keeps no history, so whatever the archive says, the files may have changed
    // since it was written: a non-zero identifier makes the watcher's first batch name every
    // root. An archive saved right after a full build holds 0; its build time stands in.
    lastEventID_ = loaded->lastEventID != 0
                       ? loaded->lastEventID
                       : static_cast<std::uint64_t>(std::max(loaded->builtAt, 1.0) * 1e6);
    // An archive without a build time leaves the stored one, so a missing date stays missing.
    if (loaded->builtAt > 0) LastFullScan::write(settings_, loaded->builtAt);
    setPhase(Phase::ready);
    std::vector<IndexBuilder::UnreadableRoot> unreadable;
    for (const std::string& root : roots())
        if (!DirectoryScanner::openRoot(root.c_str())) unreadable.push_back({root, errno});
    setUnreadableRoots(std::move(unreadable));
    // Searchable now; the watcher's first batch names every root, so what changed while
    // Vesko was not running is caught up in the background.
    startWatching(lastEventID_);
    startTimers();
    emit indexReplaced(Change::loaded);
    checkExclusionDrift();
    return true;
}

void IndexLifecycle::build() {
    setPhase(Phase::building);
    engine_->report.reset();
    emit reportChanged();
    emit buildStarted();
    runBuild(false);
}

void IndexLifecycle::rebuildQuietly() {
    if (phase_ != Phase::ready || isRefreshing_) {
        build();
        return;
    }
    setRefreshing(true);
    // The watcher keeps reporting until the new index and its own watcher are in place;
    // what it reports meanwhile is replayed onto the new index.
    engine_->navigator = std::make_shared<IndexNavigator>();
    runBuild(true);
}

void IndexLifecycle::runBuild(bool refreshing) {
    ++buildsRunning_;
    if (!engine_->replay) engine_->replay.emplace();
    // With nothing to search yet, what the scan has read is searched while it goes on.
    std::shared_ptr<PartialBox> partials;
    if (!refreshing && !engine_->index) partials = std::make_shared<PartialBox>();
    auto work = [this, refreshing, partials, roots = roots(), excluded = effectiveExclusions(),
                 path = archivePath(), wallNow = env_.timing.wallNow,
                 interval = env_.timing.partialInterval, handedOver = env_.partialHandedOver,
                 workers =
                     env_.buildWorkers > 0 ? env_.buildWorkers : IndexBuilder::defaultWorkers()] {
        auto out = std::make_shared<BuildOutcome>();
        out->refreshing = refreshing;
        out->partials = partials;
        IndexBuilder::Publication publication;
        publication.interval = interval;
        if (partials)
            publication.publish = [this, partials, handedOver](IndexBuilder::Partial part) {
                if (partials->put(std::move(part)))
                    tasks_.deliver([this, partials] { installPartial(*partials); });
                if (handedOver) handedOver();
            };
        try {
            auto result = IndexBuilder::build(roots, workers, std::make_shared<NameTable>(),
                                              excluded, {}, &publication);
            out->error = result.error;
            out->index = std::move(result.index);
            out->names = std::move(result.names);
            out->report = result.report;
        } catch (const std::exception& e) {
            out->error = e.what();
        }
        if (!out->error) {
            out->footprintMB = residentMebibytes();
            out->builtAt = wallNow();
            // A stale archive must not be loaded next time in place of this build.
            if (IndexArchive::save(out->index, *out->names, 0, out->builtAt, path))
                IndexArchive::remove(path);
        }
        tasks_.deliver([this, out] { installBuild(std::move(*out)); });
    };
    tasks_.run(refreshing ? StoreTasks::Priority::utility : StoreTasks::Priority::userInitiated,
               std::move(work));
}

void IndexLifecycle::installPartial(PartialBox& box) {
    std::optional<IndexBuilder::Partial> part = box.take();
    // A whole index, from another build that ended first, is never replaced by a part.
    if (!part || box.closed || phase_ != Phase::building || hasWholeIndex()) return;
    const qint64 entries = part->index.count();
    setIndex(std::move(part->index), std::move(part->names));
    ++indexEpoch_;
    scanProgress_ = ScanProgress{entries, expectedEntries()};
    emit indexReplaced(Change::partial);
}

bool IndexLifecycle::hasWholeIndex() const {
    return engine_->index && engine_->names && !scanProgress_;
}

qint64 IndexLifecycle::expectedEntries() const {
    const std::int64_t last = settings_.integer(entriesKey, 0);
    return last > 0 ? last : IndexBuilder::expectedEntries(roots());
}

void IndexLifecycle::installBuild(BuildOutcome out) {
    --buildsRunning_;
    if (out.partials) out.partials->closed = true;
    const bool wasPartial = scanProgress_.has_value();
    scanProgress_.reset();
    std::optional<FileSystemWatcher::Batch> replay = std::move(engine_->replay);
    engine_->replay.reset();
    if (buildsRunning_ > 0) engine_->replay = replay; // the later build needs them as well
    if (out.error) {
        // The part read before the failure is no index to keep.
        if (wasPartial) setIndex({}, nullptr);
        setRefreshing(false);
        setPhase(hasWholeIndex() ? Phase::ready : Phase::idle);
        emit buildFailed(QString::fromStdString(*out.error));
        problems_.report(StoreProblem::Kind::buildFailed, QString::fromStdString(*out.error));
        return;
    }
    setIndex(std::move(out.index), out.names);
    ++indexEpoch_;
    settings_.setInteger(entriesKey, out.report.entries);
    engine_->report = out.report;
    footprintMB_ = out.footprintMB;
    setUnreadableRoots(out.report.unreadableRoots);
    emit reportChanged();
    setPhase(Phase::ready);
    setRefreshing(false);
    permission_ = Permissions::check(env_.home);
    emit indexReplaced(Change::built);
    LastFullScan::write(settings_, out.builtAt);
    unresolvedTotal_ = 0;
    lastEventID_ = 0;
    engine_->navigator = std::make_shared<IndexNavigator>();
    replaceWatcher(0);
    if (replay && (!replay->paths.empty() || !replay->mustScanSubtrees.empty()))
        enqueue(std::move(*replay));
    startTimers();
    emit buildInstalled(out.refreshing);
}

void IndexLifecycle::setIndex(std::optional<FileIndex> index, SharedNameTable names) {
    engine_->index = std::move(index);
    engine_->names = std::move(names);
    ++indexRevision_;
    emit indexChanged();
}

void IndexLifecycle::startTimers() {
    if (!reaperTimer_.isActive()) reaperTimer_.start();
    if (drainTimer_.isActive()) return;
    drainTimer_.start();
    refreshIfStale();
}

// ---- Watching ----

void IndexLifecycle::startWatching(std::uint64_t since) {
    if (engine_->watcher) return;
    watchedRoots_ = roots();
    watcherCatchingUp_ = since != 0;
    resetWatchHealth();
    if (!env_.watchFileSystem) return;
    const std::uint64_t serial = ++watcherSerial_;
    // A replaced watcher still reports until its stop has run; those are real changes too.
    auto handler = [this](FileSystemWatcher::Batch batch) {
        tasks_.deliver(
            [this, batch = std::move(batch)]() mutable { watcherDelivered(std::move(batch)); });
    };
    engine_->watcher = std::make_shared<FileSystemWatcher>(handler, watcherOptions(env_));
    // The start-up walk adds one watch per folder: long on a big home folder, so it runs on
    // the lane while the index is already searchable.
    tasks_.runSerially([this, serial, watcher = engine_->watcher, roots = watchedRoots_, since,
                        excluded = IndexBuilder::excluded(watchedRoots_, effectiveExclusions())] {
        try {
            watcher->start(roots, since, excluded);
        } catch (const std::exception&) {
            // A relative root; roots() never gives one, and the index still works unwatched.
        }
        const bool limitReached = watcher->watchLimitReached();
        tasks_.deliver([this, serial, limitReached] {
            if (serial != watcherSerial_) return;
            watcherStarted_ = true;
            watchLimitReached_ = limitReached;
            emit watchHealthChanged();
            // Folders that changed wholesale before this watcher saw them (a root that
            // appeared, a file system mounted) are read again now that changes are seen.
            if (!rescanOnceWatched_.empty()) {
                FileSystemWatcher::Batch batch;
                batch.mustScanSubtrees.assign(rescanOnceWatched_.begin(), rescanOnceWatched_.end());
                batch.lastEventID = lastEventID_;
                rescanOnceWatched_.clear();
                enqueue(std::move(batch));
            }
        });
    });
}

// The new watcher is started before the old one stops (the lane runs them in order), so
// no change falls between the two; both deliver meanwhile.
void IndexLifecycle::replaceWatcher(std::uint64_t since) {
    auto old = std::move(engine_->watcher);
    engine_->watcher.reset();
    startWatching(since);
    // Stopping drops what the old watcher has read but not yet handed out (it holds changes
    // back for up to its latency to batch them), so it gets that long to hand them out.
    if (old)
        tasks_.runSerially([old = std::move(old), linger = FileSystemWatcher::Options{}.latency] {
            std::this_thread::sleep_for(linger + std::chrono::milliseconds(100));
            old->stop();
        });
}

void IndexLifecycle::stopWatching() {
    if (!engine_->watcher) return;
    ++watcherSerial_;
    watcherStarted_ = false;
    tasks_.runSerially([watcher = std::move(engine_->watcher)] { watcher->stop(); });
    engine_->watcher.reset();
}

// ---- Coalescing and applying ----

void IndexLifecycle::enqueue(WatchBatch batch) {
    if (engine_->replay) merge(*engine_->replay, batch);
    if (!engine_->pendingBatch) engine_->pendingBatch.emplace();
    merge(*engine_->pendingBatch, std::move(batch));
    flushTimer_.start(); // a steady stream keeps postponing the flush
}

void IndexLifecycle::watcherDelivered(WatchBatch batch) {
    noteWatcherBatch(batch);
    enqueue(std::move(batch));
}

void IndexLifecycle::flushPending() {
    // A batch that arrives while another is applied waits for the flush after the next one.
    if (isApplying_ || !engine_->pendingBatch || !hasWholeIndex()) return;
    FileSystemWatcher::Batch batch = std::move(*engine_->pendingBatch);
    engine_->pendingBatch.reset();
    isApplying_ = true;
    auxiliaryLastUsed_ = steadyNow();
    auto work = [this, epoch = indexEpoch_, index = *engine_->index, names = engine_->names,
                 navigator = engine_->navigator, excluded = effectiveExclusions(),
                 batch = std::move(batch)] {
        auto out = std::make_shared<ApplyOutcome>();
        try {
            IndexUpdater updater(index, names, navigator, excluded);
            out->report = updater.apply(batch);
            out->index = updater.takeIndex();
            // Churn leaves deleted entries behind; past a share of them, a compacted copy
            // takes the index's place here, in the background, so the window never waits.
            if (out->report.removed > 0 && IndexCompactor::isWorthIt(*out->index)) {
                auto compacted = IndexCompactor::compact(*out->index, *names);
                out->index = std::move(compacted.index);
                out->compactedNames = std::move(compacted.names);
            }
        } catch (const std::exception& e) {
            // NameTableFull or bad_alloc: the installed index stays as it was.
            out->failure = e.what();
        }
        // A large rescan (the catch-up after a start, an overflow) leaves tens of MiB of
        // freed listings in the allocator; hand them back rather than keep them resident.
        if (out->report.directoriesScanned >= largeRescan) ::malloc_trim(0);
        out->batch = std::move(batch);
        tasks_.deliver([this, out, epoch] { installApplied(std::move(*out), epoch); });
    };
    tasks_.run(StoreTasks::Priority::utility, std::move(work));
}

void IndexLifecycle::installApplied(ApplyOutcome out, std::uint64_t epoch) {
    isApplying_ = false;
    // What arrived meanwhile gets its own quiet period now, rather than waiting for some
    // later change to come along.
    if (engine_->pendingBatch && !flushTimer_.isActive()) flushTimer_.start();
    if (out.failure)
        problems_.report(StoreProblem::Kind::updateFailed, QString::fromStdString(*out.failure));
    // A full build installed meanwhile replaced the index this batch was applied to.
    if (epoch != indexEpoch_ || !out.index) return;
    const bool compacted = out.compactedNames != nullptr;
    if (compacted) {
        // Every id changed: the navigator, the narrowing and the rows belong to the old ones.
        setIndex(std::move(*out.index), std::move(out.compactedNames));
        ++indexEpoch_;
        engine_->navigator = std::make_shared<IndexNavigator>();
        emit indexReplaced(Change::compacted);
    } else {
        setIndex(std::move(*out.index), engine_->names);
    }
    // The old index and names, and the listings and paths of a large batch, went back to the
    // allocator, which would keep them resident; handed back to the system off this thread.
    if (compacted || out.report.added + out.report.removed >= largeChange)
        tasks_.run(StoreTasks::Priority::background, [] { ::malloc_trim(0); });
    lastEventID_ = std::max(lastEventID_, out.batch.lastEventID);
    unresolvedTotal_ += out.report.unresolved;
    updateWatchHealth(out.batch);
    if (out.report.added > 0 || out.report.removed > 0) {
        emit indexReplaced(Change::updated);
        saveArchive(false);
    }
    emit batchApplied(out.report.added, out.report.removed);
}

// ---- Saving ----

void IndexLifecycle::saveArchive(bool force) {
    if (!hasWholeIndex()) return;
    if (!force && steadyNow() - lastSave_ <= env_.timing.saveInterval) return;
    startSave();
}

std::shared_future<bool> IndexLifecycle::startSave() {
    lastSave_ = steadyNow();
    auto done = std::make_shared<std::promise<bool>>();
    std::shared_future<bool> future = done->get_future().share();
    tasks_.run(StoreTasks::Priority::background,
               [this, done, index = *engine_->index, names = engine_->names, id = lastEventID_,
                builtAt = LastFullScan::read(settings_), path = archivePath()] {
                   // A failure leaves the previous archive in place.
                   const bool saved = !IndexArchive::save(index, *names, id, builtAt, path);
                   done->set_value(saved);
                   tasks_.deliver([this, saved] { emit archiveSaved(saved); });
               });
    return future;
}

bool IndexLifecycle::saveBeforeExit(std::chrono::milliseconds bound) {
    stopWatching();
    if (!hasWholeIndex()) return true;
    return startSave().wait_for(bound) == std::future_status::ready;
}

// ---- Timers ----

void IndexLifecycle::refreshIfStale() {
    if (phase_ != Phase::ready || isRefreshing_) return;
    const double age = LastFullScan::age(LastFullScan::read(settings_), wallNow());
    if (age <= env_.timing.maximumAge && unresolvedTotal_ <= env_.timing.maximumUnresolved) return;
    // Unlike a quiet rebuild for new roots, the watcher keeps running and batches keep
    // going to the old index until the new one is installed.
    setRefreshing(true);
    unresolvedTotal_ = 0;
    runBuild(true);
}

void IndexLifecycle::reap() {
    if (!isApplying_ && engine_->navigator->isReady() &&
        steadyNow() - auxiliaryLastUsed_ >= env_.timing.idleRelease)
        engine_->navigator->release();
    // inotify reports nothing for these, so they are read again on every tick.
    if (!unwatched_.empty() && hasWholeIndex()) {
        FileSystemWatcher::Batch batch;
        batch.mustScanSubtrees.assign(unwatched_.begin(), unwatched_.end());
        batch.lastEventID = lastEventID_;
        enqueue(std::move(batch));
    }
}

bool IndexLifecycle::navigatorReady() const {
    return engine_->navigator->isReady();
}

// ---- State and status ----

void IndexLifecycle::setPhase(Phase phase) {
    if (phase_ == phase) return;
    phase_ = phase;
    emit phaseChanged();
}

void IndexLifecycle::setRefreshing(bool on) {
    if (isRefreshing_ == on) return;
    isRefreshing_ = on;
    emit isRefreshingChanged();
}

// ---- Roots and volumes ----

std::vector<std::string> IndexLifecycle::roots() const {
    if (env_.devRoot) return IndexBuilder::normalize({*env_.devRoot});
    std::vector<std::string> list{env_.home};
    for (const std::string& root : extraRoots_)
        if (env_.pathExists(root)) list.push_back(root);
    return IndexBuilder::normalize(list);
}

std::set<std::string> IndexLifecycle::existingExtraRoots() const {
    std::set<std::string> existing;
    for (const std::string& root : extraRoots_)
        if (env_.pathExists(root)) existing.insert(root);
    return existing;
}

void IndexLifecycle::setExtraRoots(const std::vector<std::string>& list) {
    if (list == extraRoots_) return;
    extraRoots_ = list;
    settings_.setExtraRoots(list);
    emit extraRootsChanged();
    mountedExtraRoots_ = existingExtraRoots();
    emit mountedExtraRootsChanged();
    watchExtraRootParents();
    rebuildQuietly();
}

void IndexLifecycle::setExcludedFolders(const std::vector<std::string>& list) {
    if (Exclusions::normalize(list, env_.home) == excludedFolders_) return;
    settings_.setExcludedFolders(list);
    excludedFolders_ = settings_.excludedFolders();
    emit excludedFoldersChanged();
    rebuildQuietly();
}

void IndexLifecycle::volumesChanged() {
    engine_->mountedVolumes = env_.mountedVolumes();
    emit mountedVolumesChanged();
    checkMountsInsideRoots();
    checkExtraRoots();
}

void IndexLifecycle::checkExtraRoots() {
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

void IndexLifecycle::watchExtraRootParents() {
    if (!rootParentsWatcher_) {
        rootParentsWatcher_ = new QFileSystemWatcher(this);
        connect(rootParentsWatcher_, &QFileSystemWatcher::directoryChanged, this,
                &IndexLifecycle::checkExtraRoots);
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
void IndexLifecycle::checkMountsInsideRoots() {
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
    if (inside.empty() || !hasWholeIndex()) return;
    if (engine_->watcher) {
        rescanOnceWatched_.insert(inside.begin(), inside.end());
        replaceWatcher(0);
        return;
    }
    FileSystemWatcher::Batch batch;
    batch.mustScanSubtrees = std::move(inside);
    batch.lastEventID = lastEventID_;
    enqueue(std::move(batch));
}

void IndexLifecycle::settingsFileChanged() {
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

void IndexLifecycle::watchSettingsFile() {
    if (!settingsWatcher_) {
        settingsWatcher_ = new QFileSystemWatcher(this);
        connect(settingsWatcher_, &QFileSystemWatcher::fileChanged, this,
                &IndexLifecycle::settingsFileChanged);
        // A file written anew appears in its folder without a change of the old one.
        connect(settingsWatcher_, &QFileSystemWatcher::directoryChanged, this,
                &IndexLifecycle::settingsFileChanged);
    }
    const QString file = QString::fromStdString(settings_.filePath());
    if (!settingsWatcher_->files().contains(file)) settingsWatcher_->addPath(file);
    const QString folder = QFileInfo(file).absolutePath();
    if (!settingsWatcher_->directories().contains(folder)) settingsWatcher_->addPath(folder);
}

// An archive keeps what was indexed under the exclusions of its day. When they differ from
// today's (edited while Vesko was not running, or new built-in ones), a quiet rebuild puts
// the index in line; the check runs in the background so the start is not held up.
void IndexLifecycle::checkExclusionDrift() {
    if (!engine_->index || !engine_->names) return;
    tasks_.run(StoreTasks::Priority::utility,
               [this, epoch = indexEpoch_, index = *engine_->index, names = engine_->names,
                excluded = IndexBuilder::excluded(roots(), effectiveExclusions())] {
                   const bool differs = ExclusionDrift::differs(index, *names, excluded);
                   tasks_.deliver([this, epoch, differs] {
                       if (differs && epoch == indexEpoch_ && phase_ == Phase::ready &&
                           !isRefreshing_)
                           rebuildQuietly();
                   });
               });
}

void IndexLifecycle::watchVolumeChanges() {
    watchExtraRootParents();
    if (mountWatcher_) return;
    checkMountsInsideRoots(); // only notes the mounts of now: there is no index yet
    mountWatcher_ = new MountWatcher(this);
    mountWatcher_->watch(env_.mountInfoPath);
    connect(mountWatcher_, &MountWatcher::changed, this, &IndexLifecycle::volumesChanged);
}

std::vector<std::string> IndexLifecycle::builtInExclusions() const {
    std::vector<std::string> tops = roots();
    for (const Volume& volume : engine_->mountedVolumes)
        tops.push_back(volume.path);
    std::vector<std::string> folders = Exclusions::trashFolders(env_.home, tops);
    folders.insert(folders.end(), ownFolders_.begin(), ownFolders_.end());
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

QStringList IndexLifecycle::builtInExclusionList() const {
    return toList(builtInExclusions());
}

std::vector<std::string> IndexLifecycle::effectiveExclusions() const {
    std::vector<std::string> all = excludedFolders_;
    const auto builtIn = builtInExclusions();
    all.insert(all.end(), builtIn.begin(), builtIn.end());
    return all;
}

QStringList IndexLifecycle::extraRootList() const {
    return toList(extraRoots_);
}

QStringList IndexLifecycle::excludedFolderList() const {
    return toList(excludedFolders_);
}

// ---- Watcher health ----

void IndexLifecycle::resetWatchHealth() {
    const bool changed = watchLimitReached_ || !unwatched_.empty() || isRecoveringOverflow_ ||
                         !vanishedRoots_.empty();
    watchLimitReached_ = false;
    unwatched_.clear();
    isRecoveringOverflow_ = false;
    vanishedRoots_.clear();
    if (changed) emit watchHealthChanged();
}

void IndexLifecycle::noteWatcherBatch(const FileSystemWatcher::Batch& batch) {
    const auto& rescans = batch.mustScanSubtrees;
    const auto named = [&](const std::string& root) {
        return std::find(rescans.begin(), rescans.end(), root) != rescans.end();
    };
    bool changed = false;
    const bool limitReached = engine_->watcher && engine_->watcher->watchLimitReached();
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
            QTimer::singleShot(0, this, &IndexLifecycle::checkExtraRoots);
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

void IndexLifecycle::updateWatchHealth(const FileSystemWatcher::Batch& applied) {
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

void IndexLifecycle::setUnreadableRoots(std::vector<IndexBuilder::UnreadableRoot> roots) {
    if (roots == engine_->unreadableRoots) return;
    engine_->unreadableRoots = std::move(roots);
    emit watchHealthChanged();
}

qint64 IndexLifecycle::suggestedWatchLimit() const {
    if (!watchLimitReached_) return 0;
    // Enough for every folder that is watched now and every one that is not, rounded up
    // to a round figure for the sysctl line.
    const std::int64_t needed = readNumber(env_.maxUserWatchesPath) + unwatchedFolders();
    constexpr std::int64_t step = 1024;
    return (needed + step - 1) / step * step;
}

QStringList IndexLifecycle::vanishedRoots() const {
    QStringList list;
    for (const std::string& root : vanishedRoots_)
        list << QString::fromStdString(root);
    return list;
}

} // namespace vesko
