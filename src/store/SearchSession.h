// SPDX-License-Identifier: GPL-3.0-or-later
// The search the user is typing: query, filters, sort, every hit of the last answer (rows
// made as they are looked at), the selection and the marks. A search runs on the store's tasks
// against a copy of the installed index; superseded answers are dropped through the generation.
// When the lifecycle installs another index, the session searches again by itself.
#pragma once

#include "search/Filters.h"
#include "search/ResultSort.h"
#include "store/IndexLifecycle.h"
#include "store/ResultList.h"
#include "store/SearchRow.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class FolderNoise;
class FolderScope;
class Preferences;
class SearchGeneration;
class Settings;
class StoreTasks;
struct StoreEnvironment;
struct WalkedFolder;
namespace Search {
struct Narrowing;
struct Request;
} // namespace Search

// What the status line says, as facts; the window words it.
struct SearchStatus {
    enum class Kind { none, building, buildFailed, items, ready, found };
    Kind kind = Kind::none;
    qint64 entries = 0; // items, ready
    double seconds = 0; // ready: how long the build took
    qint64 found = 0;   // found: every match, each a row of the list
    // found: the query matched nothing, and these are the names one typing error away.
    bool nearMatches = false;
    QString query;  // found with nearMatches: the query as typed
    QString detail; // buildFailed: the builder's own words
    // A content search: files read, binary files skipped, files only partly read, and
    // whether it stopped at its limit.
    bool readContents = false;
    qint64 examined = 0;
    qint64 skippedBinary = 0;
    qint64 truncated = 0;
    bool hitLimit = false;

    bool operator==(const SearchStatus&) const = default;
};

class SearchSession : public QObject {
    Q_OBJECT

public:
    SearchSession(const StoreEnvironment& env, Settings& settings, Preferences& preferences,
                  StoreTasks& tasks, const IndexLifecycle& lifecycle, QObject* parent = nullptr);

    // Runs the current query again, after the debounce delay of an expensive query.
    void search();
    void toggleSort(ResultSort::Field clicked);
    // Running searches stop at their next check and deliver nothing.
    void cancelSearches();

    QString query() const { return query_; }
    void setQuery(const QString& text);
    bool searchAsYouType() const { return searchAsYouType_; }
    void setSearchAsYouType(bool on);
    QString searchedQuery() const { return searchedQuery_; }
    bool needsReturn() const;
    const SearchStatus& status() const { return status_; }
    // Every hit of the last answer is a row; rows are made as they are asked for.
    const ResultList& list() const { return *list_; }
    // Rises with every list the session installs, edits included.
    std::uint64_t listVersion() const { return listVersion_; }
    qint64 rowCount() const { return list_->count(); }
    // `position` < rowCount.
    SearchRow row(qint64 position) const { return list_->row(position); }
    // Rows [first, last), for callers that take several at once.
    std::vector<SearchRow> rows(qint64 first, qint64 last) const;
    // While rowsChanged is delivered for another answer to the same search: the list before
    // and how it became the current one, row ranges at a time; none when the rows answer
    // another search or too much changed (a reset, then).
    const std::shared_ptr<const ResultList>& previousList() const { return previous_; }
    const std::optional<RowsChange>& rowsChange() const { return change_; }
    // How many rows each answer makes with the search; the rest are made as they are shown.
    qint64 pageSize() const { return pageSize_; }
    void setPageSize(qint64 size);
    qint64 totalMatches() const { return totalMatches_; }
    QStringList highlightTerms() const { return highlightTerms_; }
    QString regexProblem() const { return regexProblem_; }
    // The pattern is malformed and nothing more precise is known (regcomp's REG_BADPAT), so
    // `regexProblem` says no more than that.
    bool regexProblemIsGeneric() const { return regexProblemGeneric_; }
    bool isSearchingContents() const { return isSearchingContents_; }
    // A search of the query waits for the last keystroke or runs: its rows are still to come.
    bool isAnswerPending() const;
    const Filters& filters() const { return filters_; }
    void setFilters(const Filters& filters);
    const ResultSort& sort() const { return sort_; }
    void setSort(const ResultSort& sort);
    // What a folder's kind is called where rows sort by kind: the window's word for it.
    void setFolderKind(const QString& name) { folderKind_ = name.toStdString(); }
    bool foldersFirst() const { return foldersFirst_; }
    // The noise folders the last relevance search worked out for the installed index, for
    // other searches of it to reuse; null when there are none yet.
    std::shared_ptr<const FolderNoise> folderNoise() const {
        return folderNoiseEpoch_ == lifecycle_.indexEpoch() ? folderNoise_ : nullptr;
    }
    void setFoldersFirst(bool on);
    // Limits the searches to the folder at `path` (stored bytes; empty: the whole index). A
    // folder outside the indexed roots is searched in `walked`, its own index, instead.
    void setScope(std::string path, std::shared_ptr<const WalkedFolder> walked = nullptr);
    const std::string& scopePath() const { return scopePath_; }
    // Holds searches back while several settings change at once (a saved search applied).
    bool isApplyingSaved() const { return isApplyingSaved_; }
    void setApplyingSaved(bool on) { isApplyingSaved_ = on; }
    const Search::Narrowing* narrowing() const { return narrowing_.get(); }
    // How many searches were started; each has its own generation.
    std::int64_t generation() const;
    // Counts the different searches the rows answered: it stays when the same query, filters
    // and sort answer again (a change on disk, another page) or the rows are edited in place,
    // so a list can follow the rows instead of starting over.
    std::int64_t rowsSearch() const { return rowsSearch_; }
    // The delay before an expensive query runs; none for a plain query.
    std::optional<std::chrono::milliseconds> debounceDelay() const;
    // The request the current query, filters, sort and limit make.
    Search::Request searchRequest() const;
    // The normalized query the rows answer.
    const std::string& rowsQuery() const { return rowsQuery_; }

    qint64 selection() const { return selection_; }
    void setSelection(qint64 row);
    // Clamped to the rows.
    void moveSelection(qint64 delta);
    std::optional<SearchRow> selectedRow() const;
    // The rows marked with Shift and Ctrl, ascending and in range; empty means `selection`
    // alone. New rows of the same query keep the marks of the entries still listed; rows of
    // another query clear them.
    const std::vector<qint64>& selectedRows() const { return selectedRows_; }
    void setSelectedRows(std::vector<qint64> rows);
    // The marked rows, else the selected row, else nothing.
    std::vector<SearchRow> actionRows() const;

    // The result actions show their effect before the watcher reports it. `patchRows`
    // replaces the list and the match count without telling anyone, so that the marks can
    // be moved onto the new rows first; `announceRows` then tells.
    void patchRows(std::shared_ptr<const ResultList> list, qint64 totalMatches);
    void announceRows();
    void replaceRows(std::shared_ptr<const ResultList> list);
    // A renamed row stays listed at `row`, and selected while it was, until the query
    // changes, whether or not a search of the same query still finds it.
    void pin(const SearchRow& renamed, qint64 row);
    const std::optional<SearchRow>& pinned() const { return pinned_; }
    void repin(const SearchRow& renamed) { pinned_ = renamed; }

signals:
    void queryChanged();
    void searchAsYouTypeChanged();
    void searchedQueryChanged();
    void needsReturnChanged();
    void statusChanged();
    void rowsChanged();
    void pageSizeChanged();
    void isSearchingContentsChanged();
    void foldersFirstChanged();
    void filtersChanged();
    void sortChanged();
    void selectionChanged();
    void selectedRowsChanged();
    void searchStarted(qint64 generation);
    void scopeChanged();
    // A search's rows were published (after rowsChanged).
    void answered();
    // The published list was ordered by digest on the pool: from now on any range of it is
    // sorted without a pass over every hit.
    void orderPrepared();

private:
    struct SearchOutcome;

    void loadSearchSettings();
    void runSearch();
    void publish(SearchOutcome outcome);
    void clearResults();
    void writeNeedsReturn(bool before);
    void setList(std::shared_ptr<const ResultList> list, bool sameSearch);
    enum class Carried { nothing, byId, byPath };
    void keepMarksOf(const ResultList& before, Carried carried);
    void keepNearlyAllMarked(const ResultList& before);
    void keepPinned(const std::optional<SearchRow>& selectedBefore);
    void keepFocusOn(std::int64_t id);
    void keepFocusOnFile(const SearchRow& before);
    std::optional<qint64> rowNear(const std::string& path, qint64 near) const;
    void indexReplaced(IndexLifecycle::Change change);
    void setStatus(const SearchStatus& status);
    SearchStatus foundStatus() const;
    SearchStatus readyStatus() const;
    SearchStatus itemsStatus() const;

    const StoreEnvironment& env_;
    Settings& settings_;
    Preferences& preferences_;
    StoreTasks& tasks_;
    const IndexLifecycle& lifecycle_;

    QString query_;
    bool searchAsYouType_ = true;
    QString searchedQuery_;
    QTimer debounceTimer_;
    std::shared_ptr<const ResultList> list_;
    std::shared_ptr<const ResultList> previous_;
    std::optional<RowsChange> change_;
    std::uint64_t listVersion_ = 0;
    SearchStatus status_;
    SearchStatus contentStatus_; // what the content search adds to the count
    bool nearMatches_ = false;
    std::shared_ptr<const Search::Narrowing> narrowing_;
    std::uint64_t narrowingRevision_ = 0; // of the index the narrowing was found in
    qint64 pageSize_ = Paging::defaultSize;
    qint64 totalMatches_ = 0;
    QStringList highlightTerms_;
    QString regexProblem_;
    bool regexProblemGeneric_ = false;
    bool isSearchingContents_ = false;
    Filters filters_;
    ResultSort sort_;
    bool foldersFirst_ = false;
    std::string folderKind_ = "Folder";
    std::shared_ptr<SearchGeneration> generation_;
    // What relevance worked out of the folders of this index epoch, for the next search.
    std::shared_ptr<const FolderNoise> folderNoise_;
    std::uint64_t folderNoiseEpoch_ = 0;
    std::string scopePath_;
    std::shared_ptr<const WalkedFolder> walked_;
    // Bumped by every scope set: rows of another scope answer another search.
    std::uint64_t scopeSerial_ = 0;
    // The folders of the scope as the last search of this index epoch marked them.
    std::shared_ptr<const FolderScope> scope_;
    std::uint64_t scopeEpoch_ = 0;
    bool isApplyingSaved_ = false;
    bool devSelectApplied_ = false;
    std::int64_t awaited_ = -1; // the generation of the running search, until it answers
    qint64 selection_ = 0;
    std::vector<qint64> selectedRows_;
    std::string rowsQuery_;
    // Everything that makes rows answer another search; ids are another index's after a build
    // or a compaction.
    struct RowsAsked {
        std::string query;
        Filters filters;
        ResultSort sort;
        bool foldersFirst = false;
        std::uint64_t indexEpoch = 0;
        std::uint64_t scopeSerial = 0;
        bool operator==(const RowsAsked&) const = default;
    };
    RowsAsked rowsAsked_;
    std::int64_t rowsSearch_ = 0;
    std::optional<SearchRow> pinned_;
    qint64 pinnedRow_ = 0;
};

} // namespace vesko
