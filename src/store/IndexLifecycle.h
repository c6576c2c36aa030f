// SPDX-License-Identifier: GPL-3.0-or-later
// The index's life on the main thread: loaded from the archive or built, kept current from
// the watcher (whose degraded states it tells), rebuilt quietly when what is indexed changes
// (roots, exclusions, volumes), compacted and saved. Heavy work runs on the store's tasks
// with copies of what it needs; results come back to the main thread and are installed there.
#pragma once

#include "store/Permissions.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QFileSystemWatcher;

namespace vesko {

class FileIndex;
class MountWatcher;
class NameTable;
class PartialBox;
class Settings;
class StoreProblems;
class StoreTasks;
struct StoreEnvironment;
struct Volume;
struct WatchBatch;
namespace IndexBuilder {
struct Report;
struct UnreadableRoot;
} // namespace IndexBuilder

// A mounted volume as the window lists it.
struct VolumeRow {
    std::string path;
    std::string name;
    bool isRemovable = false;
    bool isNetwork = false;
};

// A root that could not be listed at all, and the errno that said why.
struct UnreadableFolder {
    std::string path;
    int error = 0;
    bool operator==(const UnreadableFolder&) const = default;
};

class IndexLifecycle : public QObject {
    Q_OBJECT

public:
    enum class Phase { idle, building, ready };
    Q_ENUM(Phase)
    // What an installed index means for what was found in the one before: `loaded` and
    // `built` are new indexes, `compacted` renumbered every entry, `updated` added or removed
    // entries under the same ids, `partial` is the part a first scan has read so far, with
    // ids of its own.
    enum class Change { loaded, built, compacted, updated, partial };
    Q_ENUM(Change)

    IndexLifecycle(const StoreEnvironment& env, Settings& settings, StoreTasks& tasks,
                   StoreProblems& problems, QObject* parent = nullptr);
    ~IndexLifecycle() override;

    // Loads the archive and installs it, searchable at once, or else builds visibly.
    // Does nothing unless the phase is idle.
    void start();
    // A visible full build; the installed index stays until the new one replaces it.
    void build();
    // A full build while the current index stays searchable; without a ready index (or
    // with a quiet rebuild already running) a visible build instead.
    void rebuildQuietly();
    // The user's Rescan: a quiet rebuild, unless one is running already.
    void rescan() {
        if (!isRefreshing_) rebuildQuietly();
    }
    // Merges a batch of file-system changes into the pending batch and restarts the quiet
    // period after which it is applied. One batch is applied at a time; what arrives
    // meanwhile is applied after a quiet period of its own.
    void enqueue(WatchBatch batch);
    // A batch as the watcher delivers it: its degraded states are noted, then it is queued.
    void watcherDelivered(WatchBatch batch);
    // Saves the archive in the background when forced or when the last save is older than
    // the save interval.
    void saveArchive(bool force);
    // The termination save: a forced save, waited for at most `bound`. False when it did
    // not finish in time; the archive on disk is then the previous one, intact, and the
    // caller should leave with std::_Exit, since destroying the store waits for its tasks.
    bool saveBeforeExit(std::chrono::milliseconds bound = std::chrono::milliseconds(5000));
    // The drift watchdog's check: a quiet rebuild when the last full scan is too old or too
    // many paths went unresolved since.
    void refreshIfStale();
    // The reaper's tick: releases an idle navigator and rescans unwatched folders.
    void reap();
    // No batch is delivered any more once the lane has run the stop.
    void stopWatching();

    // How far a first scan has come while what it has read is searched: the entries read
    // and about how many there will be (0 when nothing tells). Only while a part is installed.
    struct ScanProgress {
        qint64 entries = 0;
        qint64 expected = 0;
        bool operator==(const ScanProgress&) const = default;
    };
    const std::optional<ScanProgress>& scanProgress() const { return scanProgress_; }

    Phase phase() const { return phase_; }
    bool isRefreshing() const { return isRefreshing_; }
    Permissions::Status permission() const { return permission_; }
    const std::optional<IndexBuilder::Report>& report() const;
    double footprintMB() const { return footprintMB_; }
    const std::optional<FileIndex>& index() const;
    const std::shared_ptr<NameTable>& names() const;
    qint64 entryCount() const;
    std::uint64_t lastEventID() const { return lastEventID_; }
    // Changes whenever the installed index's ids stop meaning what they meant.
    std::uint64_t indexEpoch() const { return indexEpoch_; }
    // Changes whenever another index is installed, an update's included: what a search of
    // one revision found need not hold every hit of the same search in the next.
    std::uint64_t indexRevision() const { return indexRevision_; }
    std::int64_t unresolvedTotal() const { return unresolvedTotal_; }
    bool isApplying() const { return isApplying_; }
    bool hasPendingBatch() const;
    // True once the watcher's start-up walk has finished: changes from then on are seen.
    bool isWatching() const;
    bool navigatorReady() const;
    // Where the index is loaded from and saved to. When a folder stands in the archive's
    // place, a name beside it, told once as a problem.
    std::string archivePath();

    bool watchLimitReached() const { return watchLimitReached_; }
    qint64 unwatchedFolders() const { return static_cast<qint64>(unwatched_.size()); }
    qint64 suggestedWatchLimit() const;
    bool isRecoveringOverflow() const { return isRecoveringOverflow_; }
    QStringList vanishedRoots() const;
    // The roots the last build or load could not list at all, with the errno that said why;
    // told with watchHealthChanged.
    std::vector<UnreadableFolder> unreadableRoots() const;

    // The developer root alone when given; else the home folder and every extra root that
    // exists now, normalised.
    std::vector<std::string> roots() const;
    void setExtraRoots(const std::vector<std::string>& list);
    void setExcludedFolders(const std::vector<std::string>& list);
    // Re-reads the mounted volumes; a change in which extra roots exist rebuilds quietly.
    void volumesChanged();
    // Re-reads the preferences file, which the user may edit while Vesko runs: new extra
    // roots or excluded folders rebuild quietly. Called when the file changes on disk.
    void settingsFileChanged();

    const std::vector<std::string>& extraRoots() const { return extraRoots_; }
    const std::set<std::string>& mountedExtraRoots() const { return mountedExtraRoots_; }
    const std::vector<Volume>& mountedVolumes() const;
    std::vector<VolumeRow> volumeRows() const;
    const std::vector<std::string>& excludedFolders() const { return excludedFolders_; }
    QStringList extraRootList() const;
    QStringList excludedFolderList() const;
    // Always left out, shown beside the user's list and never removed from it: the Trash
    // folders of the home folder, of every root and of every mounted volume, and the folders
    // of Vesko's own preferences and archive. Sorted.
    std::vector<std::string> builtInExclusions() const;
    QStringList builtInExclusionList() const;
    // What every build, update and watch leaves out: the user's list and the built-in one.
    std::vector<std::string> effectiveExclusions() const;

signals:
    void phaseChanged();
    void isRefreshingChanged();
    void reportChanged();
    void indexChanged();
    // An index was installed in place of the one searched before; see Change.
    void indexReplaced(vesko::IndexLifecycle::Change change);
    void buildStarted();
    void buildFailed(const QString& error);
    void watchHealthChanged();
    void extraRootsChanged();
    void mountedExtraRootsChanged();
    void mountedVolumesChanged();
    void excludedFoldersChanged();
    // Events rather than state, for the window and tests to follow the background work.
    void batchApplied(qint64 added, qint64 removed);
    void archiveSaved(bool succeeded);
    void buildInstalled(bool quiet);

private:
    struct BuildOutcome;
    struct ApplyOutcome;
    // What is held of the engine: the index, the watcher and their reports.
    struct Engine;

    bool loadArchive();
    std::shared_future<bool> startSave();
    void runBuild(bool refreshing);
    void installBuild(BuildOutcome outcome);
    void installPartial(PartialBox& box);
    // A whole index is installed, not the part of a first scan: it may be updated and saved.
    bool hasWholeIndex() const;
    // What the first scan's progress is measured against.
    qint64 expectedEntries() const;
    // `since` 0 watches from now on; another value makes the first batch name every root.
    void startWatching(std::uint64_t since);
    void replaceWatcher(std::uint64_t since);
    void flushPending();
    void installApplied(ApplyOutcome outcome, std::uint64_t epoch);
    void startTimers();
    void setPhase(Phase phase);
    void setRefreshing(bool on);
    void setIndex(std::optional<FileIndex> index, std::shared_ptr<NameTable> names);
    void resetWatchHealth();
    void noteWatcherBatch(const WatchBatch& batch);
    void updateWatchHealth(const WatchBatch& applied);
    void setUnreadableRoots(std::vector<IndexBuilder::UnreadableRoot> roots);
    std::chrono::steady_clock::time_point steadyNow() const;
    double wallNow() const;

    std::set<std::string> existingExtraRoots() const;
    void watchVolumeChanges();
    void watchSettingsFile();
    void checkExclusionDrift();
    // Rebuilds quietly when an extra root appeared or vanished since last looked.
    void checkExtraRoots();
    void watchExtraRootParents();
    void checkMountsInsideRoots();

    const StoreEnvironment& env_;
    Settings& settings_;
    StoreTasks& tasks_;
    StoreProblems& problems_;
    std::unique_ptr<Engine> engine_;

    Phase phase_ = Phase::idle;
    bool isRefreshing_ = false;
    std::optional<ScanProgress> scanProgress_;
    Permissions::Status permission_ = Permissions::Status::unknown;
    double footprintMB_ = 0;
    std::chrono::steady_clock::time_point auxiliaryLastUsed_;
    std::uint64_t watcherSerial_ = 0;
    std::vector<std::string> watchedRoots_;
    bool watcherStarted_ = false;
    bool watcherCatchingUp_ = false; // its first batch names every root on purpose
    std::uint64_t lastEventID_ = 0;
    std::int64_t unresolvedTotal_ = 0;
    QTimer flushTimer_;
    QTimer drainTimer_;
    QTimer reaperTimer_;
    bool isApplying_ = false;
    std::chrono::steady_clock::time_point lastSave_;
    // Bumped by every installed full build, so an update of the index it replaced is dropped.
    std::uint64_t indexEpoch_ = 0;
    std::uint64_t indexRevision_ = 0;
    std::int64_t buildsRunning_ = 0;
    std::string displacedArchive_; // the archive path a folder took, once told

    // Watcher health.
    bool watchLimitReached_ = false;
    std::set<std::string> unwatched_;
    bool isRecoveringOverflow_ = false;
    std::set<std::string> vanishedRoots_;
    std::set<std::string> rescanOnceWatched_;

    // Roots and volumes.
    std::vector<std::string> extraRoots_;
    std::set<std::string> mountedExtraRoots_;
    std::vector<std::string> excludedFolders_;
    std::vector<std::string> ownFolders_; // of the preferences and of the archive
    MountWatcher* mountWatcher_ = nullptr;
    QFileSystemWatcher* settingsWatcher_ = nullptr;
    // The folders holding the extra roots, so that a root deleted or made again is noticed.
    QFileSystemWatcher* rootParentsWatcher_ = nullptr;
    std::vector<std::string> mountPoints_;
};

} // namespace vesko
