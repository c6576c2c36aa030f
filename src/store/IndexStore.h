// SPDX-License-Identifier: MIT
// The one observable model of the application, living on the main thread: the installed
// index and how it stays current (IndexLifecycle.cpp), what is indexed and which volumes are
// mounted (RootTracking.cpp), and the search the user is typing (SearchState.cpp). Heavy work
// runs on background tasks that get copies of what they need; their results come back to
// the main thread and are installed there, so every member is read and written on it alone.
#pragma once

#include "index/FileIndex.h"
#include "index/IndexNavigator.h"
#include "index/NameTable.h"
#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"
#include "scan/Volumes.h"
#include "search/Filters.h"
#include "search/ResultSort.h"
#include "search/Search.h"
#include "store/FileActionUndo.h"
#include "store/FileActions.h"
#include "store/FileDetail.h"
#include "store/LoginItem.h"
#include "store/Permissions.h"
#include "store/Preferences.h"
#include "store/SavedSearch.h"
#include "store/SearchHistory.h"
#include "store/SearchRow.h"
#include "store/Settings.h"
#include "store/StoreEnvironment.h"
#include "store/StoreTasks.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vesko {

class MountWatcher;

class IndexStore : public QObject {
    Q_OBJECT

public:
    enum class Phase { idle, building, ready };
    Q_ENUM(Phase)

private:
    // Lifecycle.
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(double footprintMB READ footprintMB NOTIFY reportChanged)
    Q_PROPERTY(qint64 entryCount READ entryCount NOTIFY indexChanged)
    // The watcher's degraded states.
    Q_PROPERTY(bool isWatching READ isWatching NOTIFY watchHealthChanged)
    Q_PROPERTY(bool watchLimitReached READ watchLimitReached NOTIFY watchHealthChanged)
    Q_PROPERTY(qint64 unwatchedFolders READ unwatchedFolders NOTIFY watchHealthChanged)
    Q_PROPERTY(qint64 suggestedWatchLimit READ suggestedWatchLimit NOTIFY watchHealthChanged)
    Q_PROPERTY(bool isRecoveringOverflow READ isRecoveringOverflow NOTIFY watchHealthChanged)
    Q_PROPERTY(QStringList vanishedRoots READ vanishedRoots NOTIFY watchHealthChanged)
    // Roots and volumes.
    Q_PROPERTY(QStringList extraRoots READ extraRootList NOTIFY extraRootsChanged)
    Q_PROPERTY(
        QStringList mountedExtraRoots READ mountedExtraRootList NOTIFY mountedExtraRootsChanged)
    Q_PROPERTY(QStringList excludedFolders READ excludedFolderList NOTIFY excludedFoldersChanged)
    // Search state.
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool searchAsYouType READ searchAsYouType WRITE setSearchAsYouType NOTIFY
                   searchAsYouTypeChanged)
    Q_PROPERTY(QString searchedQuery READ searchedQuery NOTIFY searchedQueryChanged)
    Q_PROPERTY(bool needsReturn READ needsReturn NOTIFY needsReturnChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(qint64 rowCount READ rowCount NOTIFY rowsChanged)
    Q_PROPERTY(qint64 pageSize READ pageSize WRITE setPageSize NOTIFY pageSizeChanged)
    Q_PROPERTY(qint64 limit READ limit NOTIFY limitChanged)
    Q_PROPERTY(qint64 totalMatches READ totalMatches NOTIFY rowsChanged)
    Q_PROPERTY(bool hasMore READ hasMore NOTIFY rowsChanged)
    Q_PROPERTY(bool hitCeiling READ hitCeiling NOTIFY rowsChanged)
    Q_PROPERTY(bool isLoadingMore READ isLoadingMore NOTIFY isLoadingMoreChanged)
    Q_PROPERTY(QStringList highlightTerms READ highlightTerms NOTIFY rowsChanged)
    Q_PROPERTY(QString regexProblem READ regexProblem NOTIFY rowsChanged)
    Q_PROPERTY(bool isSearchingContents READ isSearchingContents NOTIFY isSearchingContentsChanged)
    Q_PROPERTY(bool foldersFirst READ foldersFirst WRITE setFoldersFirst NOTIFY foldersFirstChanged)
    Q_PROPERTY(qint64 selection READ selection WRITE setSelection NOTIFY selectionChanged)
    // File actions.
    Q_PROPERTY(QString actionProblem READ actionProblem NOTIFY actionProblemChanged)

public:
    explicit IndexStore(StoreEnvironment environment = {}, QObject* parent = nullptr);
    ~IndexStore() override;

    // ---- Lifecycle (IndexLifecycle.cpp) ----

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
    void enqueue(FileSystemWatcher::Batch batch);
    // A batch as the watcher delivers it: its degraded states are noted, then it is queued.
    void watcherDelivered(FileSystemWatcher::Batch batch);
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

    Phase phase() const { return phase_; }
    bool isRefreshing() const { return isRefreshing_; }
    Permissions::Status permission() const { return permission_; }
    const std::optional<IndexBuilder::Report>& report() const { return report_; }
    double footprintMB() const { return footprintMB_; }
    const std::optional<FileIndex>& index() const { return index_; }
    const SharedNameTable& names() const { return names_; }
    qint64 entryCount() const { return index_ ? index_->count() : 0; }
    std::uint64_t lastEventID() const { return lastEventID_; }
    std::int64_t unresolvedTotal() const { return unresolvedTotal_; }
    bool isApplying() const { return isApplying_; }
    bool hasPendingBatch() const { return pendingBatch_.has_value(); }
    // True once the watcher's start-up walk has finished: changes from then on are seen.
    bool isWatching() const { return watcher_ != nullptr && watcherStarted_; }
    bool navigatorReady() const;
    // Where the index is loaded from and saved to. When a folder stands in the archive's
    // place, a name beside it, said once through `actionProblem`.
    std::string archivePath();
    Settings& settings() { return settings_; }

    bool watchLimitReached() const { return watchLimitReached_; }
    qint64 unwatchedFolders() const { return static_cast<qint64>(unwatched_.size()); }
    qint64 suggestedWatchLimit() const;
    bool isRecoveringOverflow() const { return isRecoveringOverflow_; }
    QStringList vanishedRoots() const;
    // The roots the last build or load could not list at all, with the errno that said why;
    // told with watchHealthChanged.
    const std::vector<IndexBuilder::UnreadableRoot>& unreadableRoots() const {
        return unreadableRoots_;
    }

    // ---- Roots and volumes (RootTracking.cpp) ----

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
    const std::vector<Volume>& mountedVolumes() const { return mountedVolumes_; }
    const std::vector<std::string>& excludedFolders() const { return excludedFolders_; }
    QStringList extraRootList() const;
    QStringList mountedExtraRootList() const;
    QStringList excludedFolderList() const;
    // Always left out, shown beside the user's list and never removed from it: the Trash
    // folders of the home folder, of every root and of every mounted volume, and the folders
    // of Vesko's own preferences and archive. Sorted.
    std::vector<std::string> builtInExclusions() const;
    QStringList builtInExclusionList() const;
    // What every build, update and watch leaves out: the user's list and the built-in one.
    std::vector<std::string> effectiveExclusions() const;

    // ---- Search state (SearchState.cpp) ----

    // Runs the current query again, after the debounce delay of an expensive query.
    void search();
    void loadMore();
    void toggleSort(ResultSort::Field clicked);

    QString query() const { return query_; }
    void setQuery(const QString& text);
    bool searchAsYouType() const { return searchAsYouType_; }
    void setSearchAsYouType(bool on);
    QString searchedQuery() const { return searchedQuery_; }
    bool needsReturn() const;
    QString status() const { return status_; }
    void setStatus(const QString& text);
    const std::vector<SearchRow>& rows() const { return *rows_; }
    qint64 rowCount() const { return static_cast<qint64>(rows_->size()); }
    qint64 pageSize() const { return pageSize_; }
    void setPageSize(qint64 size);
    qint64 limit() const { return limit_; }
    qint64 totalMatches() const { return totalMatches_; }
    bool hasMore() const { return Paging::hasMore(rowCount(), totalMatches_); }
    bool hitCeiling() const { return Paging::hitCeiling(rowCount(), totalMatches_); }
    bool isLoadingMore() const { return isLoadingMore_; }
    QStringList highlightTerms() const { return highlightTerms_; }
    QString regexProblem() const { return regexProblem_; }
    bool isSearchingContents() const { return isSearchingContents_; }
    const Filters& filters() const { return filters_; }
    void setFilters(const Filters& filters);
    const ResultSort& sort() const { return sort_; }
    void setSort(const ResultSort& sort);
    bool foldersFirst() const { return foldersFirst_; }
    void setFoldersFirst(bool on);
    qint64 selection() const { return selection_; }
    void setSelection(qint64 row);
    bool isApplyingSaved() const { return isApplyingSaved_; }
    void setApplyingSaved(bool on) { isApplyingSaved_ = on; }
    const std::optional<Search::Narrowing>& narrowing() const { return narrowing_; }
    // How many searches were started; each has its own generation.
    std::int64_t generation() const { return generation_->value(); }
    // Counts the different searches the rows answered: it stays when the same query, filters
    // and sort answer again (a change on disk, another page) or the rows are edited in place,
    // so a list can follow the rows instead of starting over.
    std::int64_t rowsSearch() const { return rowsSearch_; }
    // The delay before an expensive query runs; none for a plain query.
    std::optional<std::chrono::milliseconds> debounceDelay() const;

    // ---- File actions and saved searches (FileActionState.cpp) ----

    // Open, trash, copy path and drag act on `actionRows`; reveal, rename and copy name on
    // `selectedRow`. Each does nothing without a row. A failure sets `actionProblem`; a
    // trash or rename patches `rows` at once, before the watcher reports it.
    // Above `openWithoutAsking` rows, open only asks (openNeedsConfirmation); the window
    // then calls openSelectedConfirmed.
    static constexpr qint64 openWithoutAsking = 10;
    void openSelected();
    void openSelectedConfirmed();
    void revealSelected();
    void trashSelected();
    // The rename dialog shows the problem itself, so these return it. The renamed row stays
    // listed, and selected while it was, until the query changes.
    FileActions::Problem renameSelected(const QString& typed);
    FileActions::Problem rename(const SearchRow& row, const QString& typed);
    void copySelectedPath();
    void copySelectedName();
    // The last trash or rename while it can be taken back. Taking it back puts the rows
    // back in the list; what cannot go back stays recorded and sets actionProblem.
    const std::optional<FileActionUndo>& lastUndo() const { return undo_; }
    void undoLastAction();
    void forgetUndo();
    // Writes the full path of every hit of the current search (not only the rows loaded)
    // to `file`, atomically, in the background; `exported` follows.
    void exportResults(const std::string& file);
    // Clamped to the rows; near the end of the loaded rows the next page is requested.
    void moveSelection(qint64 delta);
    // Reads `detail` for the selected row in the background.
    void loadDetail();

    std::optional<SearchRow> selectedRow() const;
    // The rows marked with Shift and Ctrl, ascending and in range; empty means `selection`
    // alone. New rows of the same query keep the marks of the entries still listed; rows of
    // another query clear them.
    const std::vector<qint64>& selectedRows() const { return selectedRows_; }
    void setSelectedRows(std::vector<qint64> rows);
    // The marked rows, else the selected row, else nothing.
    std::vector<SearchRow> actionRows() const;
    // Remembers the query of the rows shown when they found something: called when the user
    // acts on a result, and by a timer once the results have stayed a moment.
    void recordQuery();
    SearchHistory& searchHistory() { return searchHistory_; }
    QString actionProblem() const { return actionProblem_; }
    // Nothing clears it: the window dismisses the problem it shows.
    void setActionProblem(const std::optional<QString>& problem);
    const std::optional<FileDetail>& detail() const { return detail_; }
    // Open and show go through these desktop services (tests replace them).
    void setDesktop(FileActions::Desktop desktop) { desktop_ = std::move(desktop); }
    const FileActions::Desktop& desktop() const { return desktop_; }
    Preferences& preferences() { return preferences_; }
    const Preferences& preferences() const { return preferences_; }
    // The pool every background job of the application runs on; safe from any thread.
    StoreTasks& tasks() const { return *tasks_; }

    const std::vector<SavedSearch>& savedSearches() const { return savedSearches_.list(); }
    void saveCurrentSearch(const QString& name);
    // Sets query, filters (only when they differ) and sort with one search at the end.
    void apply(const SavedSearch& saved);
    void removeSavedSearch(const SavedSearch& saved);
    // Rebuilds the status text in the language just chosen.
    void languageChanged();

    // ---- Window requests and desktop states (WindowRequests.cpp) ----

    // Asks the main window to focus its search field, or its result list.
    void requestFocus() { emit focusRequested(); }
    void requestListFocus() { emit focusListRequested(); }
    // Why the global hot key is not registered; empty while it is.
    QString hotKeyProblem() const { return hotKeyProblem_; }
    void setHotKeyProblem(const QString& problem);
    // Why the tray icon cannot be shown on this desktop; empty while it can (or is off).
    QString trayProblem() const { return trayProblem_; }
    void setTrayProblem(const QString& problem);
    // Starting at login: the state read last, and the last failure to switch it.
    LoginItem::State loginItem() const { return loginItem_; }
    QString loginItemProblem() const { return loginItemProblem_; }
    void setLoginItem(bool on);
    void refreshLoginItem();

signals:
    void phaseChanged();
    void isRefreshingChanged();
    void reportChanged();
    void indexChanged();
    void watchHealthChanged();
    void extraRootsChanged();
    void mountedExtraRootsChanged();
    void mountedVolumesChanged();
    void excludedFoldersChanged();
    void queryChanged();
    void searchAsYouTypeChanged();
    void searchedQueryChanged();
    void needsReturnChanged();
    void statusChanged();
    void rowsChanged();
    void pageSizeChanged();
    void limitChanged();
    void isLoadingMoreChanged();
    void isSearchingContentsChanged();
    void foldersFirstChanged();
    void filtersChanged();
    void sortChanged();
    void selectionChanged();
    void selectedRowsChanged();
    // Opening `count` rows at once waits for the user to agree.
    void openNeedsConfirmation(qint64 count);
    // Events rather than state, for the window and tests to follow the background work.
    void searchStarted(qint64 generation);
    void batchApplied(qint64 added, qint64 removed);
    void archiveSaved(bool succeeded);
    void buildInstalled(bool quiet);
    void actionProblemChanged();
    void undoChanged();
    void exported(bool succeeded);
    void detailChanged();
    void savedSearchesChanged();
    // Opening an item asks the window to hide the application (the closeAfterOpen setting).
    void hideRequested();
    void focusRequested();
    void focusListRequested();
    void hotKeyProblemChanged();
    void trayProblemChanged();
    void loginItemChanged();

private:
    struct BuildOutcome;
    struct ApplyOutcome;
    struct SearchOutcome;

    // Lifecycle.
    bool loadArchive();
    std::shared_future<bool> startSave();
    void runBuild(bool refreshing);
    void installBuild(BuildOutcome outcome);
    // `since` 0 watches from now on; another value makes the first batch name every root.
    void startWatching(std::uint64_t since);
    void stopWatching();
    void replaceWatcher(std::uint64_t since);
    void flushPending();
    void installApplied(ApplyOutcome outcome, std::uint64_t epoch);
    void startTimers();
    void setPhase(Phase phase);
    void setRefreshing(bool on);
    void setIndex(FileIndex index, SharedNameTable names);
    QString readyStatus() const;
    QString itemsStatus() const;
    void resetWatchHealth();
    void noteWatcherBatch(const FileSystemWatcher::Batch& batch);
    void updateWatchHealth(const FileSystemWatcher::Batch& applied);
    void setUnreadableRoots(std::vector<IndexBuilder::UnreadableRoot> roots);
    std::chrono::steady_clock::time_point steadyNow() const;
    double wallNow() const;

    // Roots.
    std::set<std::string> existingExtraRoots() const;
    void watchVolumeChanges();
    void watchSettingsFile();
    void checkExclusionDrift();
    // Rebuilds quietly when an extra root appeared or vanished since last looked.
    void checkExtraRoots();
    void watchExtraRootParents();
    void checkMountsInsideRoots();

    // Search.
    void loadSearchSettings();
    void runSearch();
    void publish(SearchOutcome outcome);
    void clearResults();
    void writeNeedsReturn(bool before);
    void keepMarksOf(const std::vector<SearchRow>& before, bool sameQuery);
    void openRows(const std::vector<SearchRow>& rows);
    Search::Request searchRequest() const;
    QString foundStatus() const;
    void setUndo(std::optional<FileActionUndo> undo);
    void undoTrash();
    void undoRename();
    void keepPinned(const std::optional<SearchRow>& selectedBefore);
    void keepFocusOn(std::int64_t id);
    void replaceRows(std::vector<SearchRow> rows);

    StoreEnvironment env_;
    Settings settings_;
    std::unique_ptr<StoreTasks> tasks_;

    // Lifecycle state.
    Phase phase_ = Phase::idle;
    bool isRefreshing_ = false;
    Permissions::Status permission_ = Permissions::Status::unknown;
    std::optional<IndexBuilder::Report> report_;
    double footprintMB_ = 0;
    std::optional<FileIndex> index_;
    SharedNameTable names_;
    SharedIndexNavigator navigator_;
    std::chrono::steady_clock::time_point auxiliaryLastUsed_;
    std::shared_ptr<FileSystemWatcher> watcher_;
    std::uint64_t watcherSerial_ = 0;
    std::vector<std::string> watchedRoots_;
    bool watcherStarted_ = false;
    bool watcherCatchingUp_ = false; // its first batch names every root on purpose
    std::uint64_t lastEventID_ = 0;
    std::int64_t unresolvedTotal_ = 0;
    std::optional<FileSystemWatcher::Batch> pendingBatch_;
    QTimer flushTimer_;
    QTimer drainTimer_;
    QTimer reaperTimer_;
    bool isApplying_ = false;
    std::chrono::steady_clock::time_point lastSave_;
    // Bumped by every installed full build, so an update of the index it replaced is dropped.
    std::uint64_t indexEpoch_ = 0;
    std::int64_t buildsRunning_ = 0;
    // Every change received since the oldest running build started. The build may have
    // read a folder before or after a change; applied again to its result, nothing is lost.
    std::optional<FileSystemWatcher::Batch> replay_;

    // Watcher health.
    bool watchLimitReached_ = false;
    std::set<std::string> unwatched_;
    bool isRecoveringOverflow_ = false;
    std::set<std::string> vanishedRoots_;
    std::set<std::string> rescanOnceWatched_;
    std::vector<IndexBuilder::UnreadableRoot> unreadableRoots_;

    // Roots state.
    std::vector<std::string> extraRoots_;
    std::set<std::string> mountedExtraRoots_;
    std::vector<Volume> mountedVolumes_;
    std::vector<std::string> excludedFolders_;
    std::vector<std::string> ownFolders_; // of the preferences and of the archive
    MountWatcher* mountWatcher_ = nullptr;
    QFileSystemWatcher* settingsWatcher_ = nullptr;
    // The folders holding the extra roots, so that a root deleted or made again is noticed.
    QFileSystemWatcher* rootParentsWatcher_ = nullptr;
    std::vector<std::string> mountPoints_;

    // Search state.
    QString query_;
    bool searchAsYouType_ = true;
    QString searchedQuery_;
    QTimer debounceTimer_;
    std::shared_ptr<const std::vector<SearchRow>> rows_;
    QString status_;
    std::optional<Search::Narrowing> narrowing_;
    qint64 pageSize_ = Paging::defaultSize;
    qint64 limit_ = Paging::defaultSize;
    qint64 totalMatches_ = 0;
    bool isLoadingMore_ = false;
    QStringList highlightTerms_;
    QString regexProblem_;
    bool isSearchingContents_ = false;
    Filters filters_;
    ResultSort sort_;
    bool foldersFirst_ = false;
    std::shared_ptr<SearchGeneration> generation_;
    bool isApplyingSaved_ = false;
    bool devSelectApplied_ = false;
    qint64 selection_ = 0;
    std::vector<qint64> selectedRows_;
    std::string rowsQuery_; // the normalized query the rows answer
    // Everything that makes rows answer another search; ids are another index's after a build
    // or a compaction.
    struct RowsAsked {
        std::string query;
        Filters filters;
        ResultSort sort;
        bool foldersFirst = false;
        std::uint64_t indexEpoch = 0;
        bool operator==(const RowsAsked&) const = default;
    };
    RowsAsked rowsAsked_;
    std::int64_t rowsSearch_ = 0;
    QString statusExtras_; // what the content search adds to the count
    // The renamed row, kept in the list until the query changes, at this row.
    std::optional<SearchRow> pinned_;
    qint64 pinnedRow_ = 0;
    QTimer historyTimer_;

    // File actions, preferences and saved searches.
    QString actionProblem_;
    std::string displacedArchive_; // the archive path a folder took, once told
    std::optional<FileActionUndo> undo_;
    // The trashed rows at their rows, to list them again when they come back.
    std::vector<std::pair<qint64, SearchRow>> trashedRows_;
    std::string trashedQuery_;
    std::optional<FileDetail> detail_;
    FileActions::Desktop desktop_;
    QString hotKeyProblem_;
    QString trayProblem_;
    LoginItem::State loginItem_ = LoginItem::State::off;
    QString loginItemProblem_;
    Preferences preferences_{settings_};
    SavedSearches savedSearches_{settings_};
    SearchHistory searchHistory_{settings_};
};

} // namespace vesko
