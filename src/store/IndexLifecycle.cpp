// SPDX-License-Identifier: MIT
// The index over time: start from the archive or a full build, live updates from the
// watcher, quiet rebuilds, saves, and the timers that release memory and catch drift.
#include "store/IndexStore.h"

#include "index/IndexArchive.h"
#include "index/IndexCompactor.h"
#include "scan/DirectoryScanner.h"
#include "scan/IndexUpdater.h"
#include "scan/Roots.h"
#include "store/LastFullScan.h"

#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <malloc.h>
#include <new>
#include <stdexcept>
#include <thread>

namespace vesko {
namespace {

constexpr std::int64_t largeRescan = 1000;   // folders
constexpr std::int64_t largeChange = 10'000; // entries added and removed

double residentMebibytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0; // kB
    }
    return 0;
}

QString grouped(std::int64_t count) {
    return QLocale().toString(static_cast<qint64>(count));
}

void merge(FileSystemWatcher::Batch& into, FileSystemWatcher::Batch batch) {
    into.paths.insert(into.paths.end(), std::make_move_iterator(batch.paths.begin()),
                      std::make_move_iterator(batch.paths.end()));
    into.mustScanSubtrees.insert(into.mustScanSubtrees.end(),
                                 std::make_move_iterator(batch.mustScanSubtrees.begin()),
                                 std::make_move_iterator(batch.mustScanSubtrees.end()));
    into.lastEventID = std::max(into.lastEventID, batch.lastEventID);
}

} // namespace

struct IndexStore::BuildOutcome {
    bool refreshing = false;
    FileIndex index;
    SharedNameTable names;
    IndexBuilder::Report report;
    std::optional<std::string> error;
    double footprintMB = 0;
    double builtAt = 0;
};

struct IndexStore::ApplyOutcome {
    std::optional<FileIndex> index; // nothing when the index could not grow
    SharedNameTable compactedNames; // set when the index was compacted: new ids throughout
    IndexUpdater::Report report;
    FileSystemWatcher::Batch batch;
};

void IndexStore::start() {
    if (phase_ != Phase::idle) return;
    permission_ = Permissions::check(env_.home);
    mountedVolumes_ = env_.mountedVolumes();
    emit mountedVolumesChanged();
    mountedExtraRoots_ = existingExtraRoots();
    emit mountedExtraRootsChanged();
    watchVolumeChanges();
    watchSettingsFile();
    if (!loadArchive()) build();
}

bool IndexStore::loadArchive() {
    auto loaded = IndexArchive::load(roots(), archivePath(), IndexArchive::Use::updatable);
    if (!loaded) return false;
    setIndex(std::move(loaded->index), loaded->names);
    // inotify keeps no history, so whatever the archive says, the files may have changed
    // since it was written: a non-zero identifier makes the watcher's first batch name every
    // root. An archive saved right after a full build holds 0; its build time stands in.
    lastEventID_ = loaded->lastEventID != 0
                       ? loaded->lastEventID
                       : static_cast<std::uint64_t>(std::max(loaded->builtAt, 1.0) * 1e6);
    // An archive without a build time leaves the stored one, so a missing date stays missing.
    if (loaded->builtAt > 0) LastFullScan::write(settings_, loaded->builtAt);
    setPhase(Phase::ready);
    setStatus(itemsStatus());
    std::vector<IndexBuilder::UnreadableRoot> unreadable;
    for (const std::string& root : roots())
        if (!DirectoryScanner::openRoot(root.c_str())) unreadable.push_back({root, errno});
    setUnreadableRoots(std::move(unreadable));
    // Searchable now; the watcher's first batch names every root, so what changed while
    // Vesko was not running is caught up in the background.
    startWatching(lastEventID_);
    startTimers();
    search();
    checkExclusionDrift();
    return true;
}

void IndexStore::build() {
    setPhase(Phase::building);
    report_.reset();
    emit reportChanged();
    setStatus(tr("Building index…"));
    runBuild(false);
}

void IndexStore::rebuildQuietly() {
    if (phase_ != Phase::ready || isRefreshing_) {
        build();
        return;
    }
    setRefreshing(true);
    // The watcher keeps reporting until the new index and its own watcher are in place;
    // what it reports meanwhile is replayed onto the new index.
    navigator_ = std::make_shared<IndexNavigator>();
    runBuild(true);
}

void IndexStore::runBuild(bool refreshing) {
    ++buildsRunning_;
    if (!replay_) replay_.emplace();
    auto work = [this, refreshing, roots = roots(), excluded = effectiveExclusions(),
                 path = archivePath(), wallNow = env_.timing.wallNow,
                 workers =
                     env_.buildWorkers > 0 ? env_.buildWorkers : IndexBuilder::defaultWorkers()] {
        auto out = std::make_shared<BuildOutcome>();
        out->refreshing = refreshing;
        try {
            auto result =
                IndexBuilder::build(roots, workers, std::make_shared<NameTable>(), excluded);
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
        tasks_->deliver([this, out] { installBuild(std::move(*out)); });
    };
    tasks_->run(refreshing ? StoreTasks::Priority::utility : StoreTasks::Priority::userInitiated,
                std::move(work));
}

void IndexStore::installBuild(BuildOutcome out) {
    --buildsRunning_;
    std::optional<FileSystemWatcher::Batch> replay = std::move(replay_);
    replay_.reset();
    if (buildsRunning_ > 0) replay_ = replay; // the later build needs them as well
    if (out.error) {
        setRefreshing(false);
        setPhase(index_ ? Phase::ready : Phase::idle);
        setStatus(tr("The index could not be built: %1").arg(QString::fromStdString(*out.error)));
        return;
    }
    setIndex(std::move(out.index), out.names);
    ++indexEpoch_;
    report_ = out.report;
    footprintMB_ = out.footprintMB;
    setUnreadableRoots(out.report.unreadableRoots);
    emit reportChanged();
    setPhase(Phase::ready);
    setRefreshing(false);
    narrowing_.reset();
    permission_ = Permissions::check(env_.home);
    setStatus(readyStatus());
    search();
    LastFullScan::write(settings_, out.builtAt);
    unresolvedTotal_ = 0;
    lastEventID_ = 0;
    navigator_ = std::make_shared<IndexNavigator>();
    replaceWatcher(0);
    if (replay && (!replay->paths.empty() || !replay->mustScanSubtrees.empty()))
        enqueue(std::move(*replay));
    startTimers();
    emit buildInstalled(out.refreshing);
}

void IndexStore::setIndex(FileIndex index, SharedNameTable names) {
    index_ = std::move(index);
    names_ = std::move(names);
    emit indexChanged();
}

void IndexStore::startTimers() {
    if (!reaperTimer_.isActive()) reaperTimer_.start();
    if (drainTimer_.isActive()) return;
    drainTimer_.start();
    refreshIfStale();
}

// ---- Watching ----

void IndexStore::startWatching(std::uint64_t since) {
    if (watcher_) return;
    watchedRoots_ = roots();
    watcherCatchingUp_ = since != 0;
    resetWatchHealth();
    if (!env_.watchFileSystem) return;
    const std::uint64_t serial = ++watcherSerial_;
    // A replaced watcher still reports until its stop has run; those are real changes too.
    auto handler = [this](FileSystemWatcher::Batch batch) {
        tasks_->deliver(
            [this, batch = std::move(batch)]() mutable { watcherDelivered(std::move(batch)); });
    };
    watcher_ = std::make_shared<FileSystemWatcher>(handler, env_.watcherOptions);
    // The start-up walk adds one watch per folder: long on a big home folder, so it runs on
    // the lane while the index is already searchable.
    tasks_->runSerially([this, serial, watcher = watcher_, roots = watchedRoots_, since,
                         excluded = IndexBuilder::excluded(watchedRoots_, effectiveExclusions())] {
        try {
            watcher->start(roots, since, excluded);
        } catch (const std::exception&) {
            // A relative root; roots() never gives one, and the index still works unwatched.
        }
        const bool limitReached = watcher->watchLimitReached();
        tasks_->deliver([this, serial, limitReached] {
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
void IndexStore::replaceWatcher(std::uint64_t since) {
    auto old = std::move(watcher_);
    watcher_.reset();
    startWatching(since);
    // Stopping drops what the old watcher has read but not yet handed out (it holds changes
    // back for up to its latency to batch them), so it gets that long to hand them out.
    if (old)
        tasks_->runSerially([old = std::move(old), linger = env_.watcherOptions.latency] {
            std::this_thread::sleep_for(linger + std::chrono::milliseconds(100));
            old->stop();
        });
}

void IndexStore::stopWatching() {
    if (!watcher_) return;
    ++watcherSerial_;
    watcherStarted_ = false;
    tasks_->runSerially([watcher = std::move(watcher_)] { watcher->stop(); });
    watcher_.reset();
}

// ---- Coalescing and applying ----

void IndexStore::enqueue(FileSystemWatcher::Batch batch) {
    if (replay_) merge(*replay_, batch);
    if (!pendingBatch_) pendingBatch_.emplace();
    merge(*pendingBatch_, std::move(batch));
    flushTimer_.start(); // a steady stream keeps postponing the flush
}

void IndexStore::watcherDelivered(FileSystemWatcher::Batch batch) {
    noteWatcherBatch(batch);
    enqueue(std::move(batch));
}

void IndexStore::flushPending() {
    // A batch that arrives while another is applied waits for the flush after the next one.
    if (isApplying_ || !pendingBatch_ || !index_ || !names_) return;
    FileSystemWatcher::Batch batch = std::move(*pendingBatch_);
    pendingBatch_.reset();
    isApplying_ = true;
    auxiliaryLastUsed_ = steadyNow();
    auto work = [this, epoch = indexEpoch_, index = *index_, names = names_, navigator = navigator_,
                 excluded = effectiveExclusions(), batch = std::move(batch)] {
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
        } catch (const std::exception&) {
            // NameTableFull or bad_alloc: the installed index stays as it was.
        }
        // A large rescan (the catch-up after a start, an overflow) leaves tens of MiB of
        // freed listings in the allocator; hand them back rather than keep them resident.
        if (out->report.directoriesScanned >= largeRescan) ::malloc_trim(0);
        out->batch = std::move(batch);
        tasks_->deliver([this, out, epoch] { installApplied(std::move(*out), epoch); });
    };
    tasks_->run(StoreTasks::Priority::utility, std::move(work));
}

void IndexStore::installApplied(ApplyOutcome out, std::uint64_t epoch) {
    isApplying_ = false;
    // What arrived meanwhile gets its own quiet period now, rather than waiting for some
    // later change to come along.
    if (pendingBatch_ && !flushTimer_.isActive()) flushTimer_.start();
    // A full build installed meanwhile replaced the index this batch was applied to.
    if (epoch != indexEpoch_ || !out.index) return;
    const bool compacted = out.compactedNames != nullptr;
    if (compacted) {
        // Every id changed: the navigator, the narrowing and the rows belong to the old ones.
        setIndex(std::move(*out.index), std::move(out.compactedNames));
        ++indexEpoch_;
        navigator_ = std::make_shared<IndexNavigator>();
        narrowing_.reset();
        setSelectedRows({}); // marks are kept by entry id, which no longer names the same file
        search();
    } else {
        setIndex(std::move(*out.index), names_);
    }
    // The old index and names, and the listings and paths of a large batch, went back to the
    // allocator, which would keep them resident; handed back to the system off this thread.
    if (compacted || out.report.added + out.report.removed >= largeChange)
        tasks_->run(StoreTasks::Priority::background, [] { ::malloc_trim(0); });
    lastEventID_ = std::max(lastEventID_, out.batch.lastEventID);
    unresolvedTotal_ += out.report.unresolved;
    updateWatchHealth(out.batch);
    if (out.report.added > 0 || out.report.removed > 0) {
        search();
        setStatus(itemsStatus());
        saveArchive(false);
    }
    emit batchApplied(out.report.added, out.report.removed);
}

// ---- Saving ----

void IndexStore::saveArchive(bool force) {
    if (!index_ || !names_) return;
    if (!force && steadyNow() - lastSave_ <= env_.timing.saveInterval) return;
    startSave();
}

std::shared_future<bool> IndexStore::startSave() {
    lastSave_ = steadyNow();
    auto done = std::make_shared<std::promise<bool>>();
    std::shared_future<bool> future = done->get_future().share();
    tasks_->run(StoreTasks::Priority::background,
                [this, done, index = *index_, names = names_, id = lastEventID_,
                 builtAt = LastFullScan::read(settings_), path = archivePath()] {
                    // A failure leaves the previous archive in place.
                    const bool saved = !IndexArchive::save(index, *names, id, builtAt, path);
                    done->set_value(saved);
                    tasks_->deliver([this, saved] { emit archiveSaved(saved); });
                });
    return future;
}

bool IndexStore::saveBeforeExit(std::chrono::milliseconds bound) {
    generation_->advance();
    stopWatching();
    if (!index_ || !names_) return true;
    return startSave().wait_for(bound) == std::future_status::ready;
}

// ---- Timers ----

void IndexStore::refreshIfStale() {
    if (phase_ != Phase::ready || isRefreshing_) return;
    const double age = LastFullScan::age(LastFullScan::read(settings_), wallNow());
    if (age <= env_.timing.maximumAge && unresolvedTotal_ <= env_.timing.maximumUnresolved) return;
    // Unlike a quiet rebuild for new roots, the watcher keeps running and batches keep
    // going to the old index until the new one is installed.
    setRefreshing(true);
    unresolvedTotal_ = 0;
    runBuild(true);
}

void IndexStore::reap() {
    if (!isApplying_ && navigator_->isReady() &&
        steadyNow() - auxiliaryLastUsed_ >= env_.timing.idleRelease)
        navigator_->release();
    // inotify reports nothing for these, so they are read again on every tick.
    if (!unwatched_.empty() && index_) {
        FileSystemWatcher::Batch batch;
        batch.mustScanSubtrees.assign(unwatched_.begin(), unwatched_.end());
        batch.lastEventID = lastEventID_;
        enqueue(std::move(batch));
    }
}

bool IndexStore::navigatorReady() const {
    return navigator_->isReady();
}

// ---- State and status ----

void IndexStore::setPhase(Phase phase) {
    if (phase_ == phase) return;
    phase_ = phase;
    emit phaseChanged();
}

void IndexStore::setRefreshing(bool on) {
    if (isRefreshing_ == on) return;
    isRefreshing_ = on;
    emit isRefreshingChanged();
}

QString IndexStore::itemsStatus() const {
    return tr("%1 items").arg(grouped(entryCount()));
}

QString IndexStore::readyStatus() const {
    if (!report_) return itemsStatus();
    return tr("%1 items · %2")
        .arg(grouped(report_->entries))
        .arg(QString::asprintf("%.1fs", report_->duration));
}

} // namespace vesko
