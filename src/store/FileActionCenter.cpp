// SPDX-License-Identifier: GPL-3.0-or-later
// The store's side of the file actions: the actions on the selected and marked rows, the
// patches to the row list that show a trash or rename before the watcher reports it, the
// detail record read in the background, the saved searches and the search history.
#include "store/FileActionCenter.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "store/FileActions.h"
#include "store/IndexLifecycle.h"
#include "store/ResultList.h"
#include "store/SearchSession.h"
#include "store/ShownText.h"

#include <QPointer>

#include <algorithm>
#include <functional>
#include <set>

namespace vesko {
namespace {

std::string pathOf(const SearchRow& row) {
    return row.path();
}

} // namespace

FileActionCenter::FileActionCenter(const StoreEnvironment& env, Settings& settings,
                                   Preferences& preferences, StoreTasks& tasks,
                                   const IndexLifecycle& lifecycle, SearchSession& session,
                                   QObject* parent)
    : QObject(parent), preferences_(preferences), tasks_(tasks), lifecycle_(lifecycle),
      session_(session), savedSearches_(settings), searchHistory_(settings) {
    // Results that stay a moment are what the user looked at; a new query is not yet.
    historyTimer_.setSingleShot(true);
    historyTimer_.setInterval(static_cast<int>(env.timing.historySettle.count()));
    connect(&historyTimer_, &QTimer::timeout, this, &FileActionCenter::recordQuery);
    connect(&session_, &SearchSession::queryChanged, &historyTimer_, &QTimer::stop);
    connect(&session_, &SearchSession::rowsChanged, this, [this] {
        if (session_.rowCount() == 0) historyTimer_.stop();
    });
    connect(&session_, &SearchSession::answered, this, [this] {
        if (session_.rowCount() > 0) historyTimer_.start();
    });
}

void FileActionCenter::setActionProblems(ActionProblems problems) {
    if (problems == actionProblems_) return;
    actionProblems_ = std::move(problems);
    emit actionProblemChanged();
}

void FileActionCenter::setActionProblem(const std::optional<ActionProblem>& problem) {
    setActionProblems(problem ? ActionProblems{{*problem}, 0} : ActionProblems{});
}

void FileActionCenter::recordQuery() {
    historyTimer_.stop();
    if (session_.rowCount() > 0) searchHistory_.record(session_.searchedQuery());
}

void FileActionCenter::openSelected() {
    const auto rows = session_.actionRows();
    if (static_cast<qint64>(rows.size()) > openWithoutAsking)
        emit openNeedsConfirmation(static_cast<qint64>(rows.size()));
    else
        openRows(rows);
}

void FileActionCenter::openSelectedConfirmed() {
    openRows(session_.actionRows());
}

void FileActionCenter::openRows(const std::vector<SearchRow>& rows) {
    if (rows.empty()) return;
    recordQuery();
    for (const SearchRow& row : rows) {
        searchHistory_.recordUse(pathOf(row));
        if (auto problem = FileActions::open(pathOf(row), desktop_)) setActionProblem(problem);
    }
    if (preferences_.closeAfterOpen()) emit hideRequested();
}

void FileActionCenter::revealSelected() {
    const auto row = session_.selectedRow();
    if (!row) return;
    recordQuery();
    searchHistory_.recordUse(pathOf(*row));
    QPointer<FileActionCenter> self(this);
    FileActions::showInFileManager(pathOf(*row), desktop_, [self](FileActions::Problem problem) {
        if (self) self->setActionProblem(problem);
    });
}

// Each item goes on its own, so one that cannot be moved keeps none of the others back;
// what stayed remains marked, and the problem names each with its reason.
void FileActionCenter::trashSelected() {
    const auto targets = session_.actionRows();
    if (targets.empty()) return;
    recordQuery();
    std::set<std::string> trashed;
    std::set<std::string> kept;
    ActionProblems reasons{{}, static_cast<qint64>(targets.size())};
    FileActionUndo undo;
    for (const SearchRow& row : targets) {
        const std::string path = pathOf(row);
        if (trashed.contains(path) || kept.contains(path)) continue;
        std::string inTrash;
        if (auto problem = FileActions::moveToTrash(path, &inTrash)) {
            // One item's problem is shown as the system words it, as before marks existed.
            if (targets.size() == 1) return setActionProblem(problem);
            kept.insert(path);
            problem->name = shownText(row.name);
            reasons.items.push_back(*problem);
        } else {
            trashed.insert(path);
            undo.trashed.push_back({path, inTrash});
        }
    }
    // The targets are rows of the list, so their positions say where they are listed.
    std::vector<qint64> gone, stayed;
    for (const SearchRow& row : targets)
        (trashed.contains(pathOf(row)) ? gone : stayed).push_back(row.position);
    std::ranges::sort(gone);
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    if (!gone.empty()) {
        trashedRows_.clear();
        auto list = std::make_shared<ResultList>(session_.list());
        for (auto at = gone.rbegin(); at != gone.rend(); ++at) {
            trashedRows_.emplace(trashedRows_.begin(), *at, session_.row(*at));
            list->erase(*at);
        }
        trashedQuery_ = session_.rowsQuery();
        session_.patchRows(
            std::move(list),
            std::max<qint64>(session_.totalMatches() - static_cast<qint64>(gone.size()), 0));
        // Rows below a trashed one moved up.
        for (qint64& row : stayed)
            row -= std::ranges::upper_bound(gone, row) - gone.begin();
    }
    if (!undo.trashed.empty()) setUndo(std::move(undo));
    std::ranges::sort(stayed);
    // The marks are moved onto the shorter list before it is announced, since whoever
    // follows the rows reads the marks with them.
    session_.setSelectedRows(stayed);
    if (!gone.empty()) session_.announceRows();
    // The list closes over the trashed rows; the focus lands where the first of them was.
    const qint64 selection = session_.selection();
    const qint64 focus = !stayed.empty() ? stayed.front()
                         : gone.empty()  ? selection
                                         : std::min(selection, gone.front());
    session_.setSelection(std::min(focus, std::max<qint64>(session_.rowCount() - 1, 0)));
    if (!reasons.empty()) setActionProblems(std::move(reasons));
    loadDetail();
}

FileActions::Problem FileActionCenter::renameSelected(const QString& typed) {
    const auto row = session_.selectedRow();
    if (!row) return std::nullopt;
    return rename(*row, typed);
}

FileActions::Problem FileActionCenter::rename(const SearchRow& row, const QString& typed) {
    const auto renamed = FileActions::rename(row.directory, row.name, typed);
    if (renamed.problem || !renamed.name) return renamed.problem;
    FileActionUndo undo;
    undo.kind = FileActionUndo::Kind::rename;
    undo.folder = row.directory;
    undo.oldName = row.name;
    undo.newName = *renamed.name;
    if (row.position < session_.rowCount() && session_.row(row.position).id == row.id) {
        SearchRow shown = session_.row(row.position);
        shown.name = *renamed.name;
        session_.pin(shown, row.position);
        auto list = std::make_shared<ResultList>(session_.list());
        list->replace(row.position, shown);
        replaceRows(std::move(list));
    }
    setUndo(std::move(undo));
    return std::nullopt;
}

void FileActionCenter::replaceRows(std::shared_ptr<const ResultList> list) {
    session_.replaceRows(std::move(list));
    loadDetail();
}

void FileActionCenter::setUndo(std::optional<FileActionUndo> undo) {
    undo_ = std::move(undo);
    emit undoChanged();
}

void FileActionCenter::forgetUndo() {
    if (undo_) setUndo(std::nullopt);
}

void FileActionCenter::undoLastAction() {
    if (!undo_) return;
    if (undo_->kind == FileActionUndo::Kind::trash)
        undoTrash();
    else
        undoRename();
}

// What comes back is listed again where it was, when the list still answers the same query;
// what cannot come back stays recorded, so the user can free its place and try again.
void FileActionCenter::undoTrash() {
    std::vector<FileActionUndo::Trashed> stayed;
    std::set<std::string> restored;
    ActionProblems reasons;
    for (const auto& item : undo_->trashed) {
        if (auto problem = FileActionUndo::restore(item)) {
            stayed.push_back(item);
            reasons.items.push_back(*problem);
        } else {
            restored.insert(item.original);
        }
    }
    if (!restored.empty() && trashedQuery_ == session_.rowsQuery()) {
        auto list = std::make_shared<ResultList>(session_.list());
        qint64 first = -1;
        qint64 total = session_.totalMatches();
        for (const auto& [at, row] : trashedRows_) {
            if (!restored.contains(pathOf(row))) continue;
            const qint64 place = std::min<qint64>(at, list->count());
            list->insert(place, row);
            if (first < 0) first = place;
            ++total;
        }
        session_.patchRows(std::move(list), total);
        session_.announceRows();
        loadDetail();
        if (first >= 0) session_.setSelection(first);
        session_.setSelectedRows({});
    }
    if (stayed.empty()) {
        setUndo(std::nullopt);
    } else {
        FileActionUndo rest = *undo_;
        rest.trashed = std::move(stayed);
        setUndo(std::move(rest));
    }
    if (!reasons.empty()) setActionProblems(std::move(reasons));
}

void FileActionCenter::undoRename() {
    if (auto problem = undo_->renameBack()) return setActionProblem(problem);
    const std::string renamed = FileActions::fullPath(undo_->folder, undo_->newName);
    const auto& pinned = session_.pinned();
    qint64 at = -1;
    if (pinned && pathOf(*pinned) == renamed)
        at = session_.list().positionOf(pinned->id).value_or(-1);
    const std::string oldName = undo_->oldName;
    setUndo(std::nullopt);
    if (at < 0) return;
    SearchRow row = session_.row(at);
    row.name = oldName;
    session_.repin(row);
    auto list = std::make_shared<ResultList>(session_.list());
    list->replace(at, row);
    replaceRows(std::move(list));
}

void FileActionCenter::copySelectedPath() {
    const auto rows = session_.actionRows();
    if (rows.empty()) return;
    recordQuery();
    std::vector<std::string> paths;
    for (const SearchRow& row : rows) {
        paths.push_back(pathOf(row));
        searchHistory_.recordUse(paths.back());
    }
    setActionProblem(FileActions::copyPaths(paths));
}

void FileActionCenter::copySelectedName() {
    const auto row = session_.selectedRow();
    if (!row) return;
    searchHistory_.recordUse(pathOf(*row));
    setActionProblem(FileActions::copyName(row->name));
}

// Every row of the list in its order, edits and all. A copy of the list settles the order
// of what nobody has looked at yet off the main thread.
void FileActionCenter::exportResults(const std::string& file) {
    if (session_.query().isEmpty()) return;
    auto list = std::make_shared<ResultList>(session_.list());
    tasks_.run(StoreTasks::Priority::userInitiated, [this, file, list] {
        auto problem =
            std::make_shared<FileActions::Problem>(FileActions::exportPaths(file, list->paths()));
        tasks_.deliver([this, problem] {
            if (*problem) setActionProblem(*problem);
            emit exported(!problem->has_value());
        });
    });
}

void FileActionCenter::loadDetail() {
    const auto row = session_.selectedRow();
    if (!row) {
        if (detail_) {
            detail_.reset();
            emit detailChanged();
        }
        return;
    }
    tasks_.run(StoreTasks::Priority::utility, [this, path = pathOf(*row)] {
        auto detail = std::make_shared<FileDetail>(FileDetail::read(path));
        tasks_.deliver([this, path, detail] {
            // A slower read for an earlier selection never replaces the current one.
            const auto current = session_.selectedRow();
            if (!current || pathOf(*current) != path) return;
            detail_ = *detail;
            emit detailChanged();
        });
    });
}

void FileActionCenter::saveCurrentSearch(const QString& name) {
    if (savedSearches_.add(name, session_.query(), session_.filters(), session_.sort()))
        emit savedSearchesChanged();
}

void FileActionCenter::apply(const SavedSearch& saved) {
    session_.setApplyingSaved(true);
    session_.setQuery(saved.query);
    if (saved.filters != session_.filters()) session_.setFilters(saved.filters);
    session_.setSort(saved.sort);
    session_.setApplyingSaved(false);
    session_.search();
}

void FileActionCenter::removeSavedSearch(const SavedSearch& saved) {
    if (saved.isBuiltIn) return;
    savedSearches_.remove(saved);
    emit savedSearchesChanged();
}

} // namespace vesko
