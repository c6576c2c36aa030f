// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does with the results: open, reveal, trash, rename and copy the selected or
// marked rows, take the last trash or rename back, read the selected row's detail, export
// every hit, and keep the saved searches and the search history. A trash or rename shows in
// the session's rows at once, before the watcher reports it.
#pragma once

#include "store/FileActionUndo.h"
#include "store/FileActions.h"
#include "store/FileDetail.h"
#include "store/Preferences.h"
#include "store/ResultList.h"
#include "store/SavedSearch.h"
#include "store/SearchHistory.h"
#include "store/SearchRow.h"
#include "store/Settings.h"
#include "store/StoreEnvironment.h"
#include "store/StoreTasks.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vesko {

class IndexLifecycle;
class SearchSession;

class FileActionCenter : public QObject {
    Q_OBJECT

public:
    FileActionCenter(const StoreEnvironment& env, Settings& settings, Preferences& preferences,
                     StoreTasks& tasks, const IndexLifecycle& lifecycle, SearchSession& session,
                     QObject* parent = nullptr);

    // Open, trash, copy path and drag act on the session's `actionRows`; reveal, rename and
    // copy name on its `selectedRow`. Each does nothing without a row. A failure sets
    // `actionProblems`. Above `openWithoutAsking` rows, open only asks
    // (openNeedsConfirmation); the window then calls openSelectedConfirmed.
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
    // back in the list; what cannot go back stays recorded and sets actionProblems.
    const std::optional<FileActionUndo>& lastUndo() const { return undo_; }
    void undoLastAction();
    void forgetUndo();
    // Writes the full path of every hit of the current search (not only the rows loaded)
    // to `file`, atomically, in the background; `exported` follows.
    void exportResults(const std::string& file);
    // Reads `detail` for the selected row in the background.
    void loadDetail();
    const std::optional<FileDetail>& detail() const { return detail_; }

    // Remembers the query of the rows shown when they found something: called when the user
    // acts on a result, and by a timer once the results have stayed a moment.
    void recordQuery();
    SearchHistory& searchHistory() { return searchHistory_; }
    const ActionProblems& actionProblems() const { return actionProblems_; }
    // Nothing else clears them: the window dismisses the problems it shows.
    void dismissActionProblems() { setActionProblems({}); }
    // Open and show go through these desktop services (tests replace them).
    void setDesktop(FileActions::Desktop desktop) { desktop_ = std::move(desktop); }
    const FileActions::Desktop& desktop() const { return desktop_; }

    const std::vector<SavedSearch>& savedSearches() const { return savedSearches_.list(); }
    void saveCurrentSearch(const QString& name);
    // Sets query, filters (only when they differ) and sort with one search at the end.
    void apply(const SavedSearch& saved);
    void removeSavedSearch(const SavedSearch& saved);

signals:
    // Opening `count` rows at once waits for the user to agree.
    void openNeedsConfirmation(qint64 count);
    void actionProblemChanged();
    void undoChanged();
    void exported(bool succeeded);
    void detailChanged();
    void savedSearchesChanged();
    // Opening an item asks the window to hide the application (the closeAfterOpen setting).
    void hideRequested();

private:
    void openRows(const std::vector<SearchRow>& rows);
    void setUndo(std::optional<FileActionUndo> undo);
    void undoTrash();
    void undoRename();
    void replaceRows(std::shared_ptr<const ResultList> list);
    void setActionProblems(ActionProblems problems);
    // One action's outcome: its problem, or none, which clears the last.
    void setActionProblem(const std::optional<ActionProblem>& problem);

    Preferences& preferences_;
    StoreTasks& tasks_;
    const IndexLifecycle& lifecycle_;
    SearchSession& session_;

    QTimer historyTimer_;
    ActionProblems actionProblems_;
    std::optional<FileActionUndo> undo_;
    // The trashed rows at their rows, to list them again when they come back.
    std::vector<std::pair<qint64, SearchRow>> trashedRows_;
    std::string trashedQuery_;
    std::optional<FileDetail> detail_;
    FileActions::Desktop desktop_;
    SavedSearches savedSearches_;
    SearchHistory searchHistory_;
};

} // namespace vesko
