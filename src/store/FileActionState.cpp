// SPDX-License-Identifier: MIT
// The store's side of the file actions: the selected row, the actions on it, the patches to
// the row list that show a trash or rename before the watcher reports it, the detail record
// read in the background, and the saved searches.
#include "store/IndexStore.h"

#include "search/ContentMatcher.h"
#include "store/FileActions.h"
#include "store/ShownText.h"

#include <QLocale>

#include <algorithm>
#include <functional>
#include <limits>
#include <set>

namespace vesko {
namespace {

// Rows closer to the end of the loaded list than this ask for the next page.
constexpr qint64 loadMoreMargin = 10;
// A failed trash of many rows names this many of them; the rest are counted.
constexpr qsizetype problemsNamed = 12;

std::string pathOf(const SearchRow& row) {
    return row.path();
}

// Every name as the file system gave it, so an exported path opens its file.
std::string storedPath(const FileIndex& index, const NameTable& names, std::int64_t entry) {
    std::vector<std::string_view> parts{
        names.displayBytes(index.entryName[static_cast<std::size_t>(entry)])};
    std::uint32_t d = index.entryDir[static_cast<std::size_t>(entry)];
    for (; index.dirParent[d] != d; d = index.dirParent[d])
        parts.push_back(names.displayBytes(index.dirName[d]));
    const auto root = index.rootPaths.find(d);
    std::string path = root == index.rootPaths.end() || root->second == "/" ? "" : root->second;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part)
        (path += '/') += *part;
    return path;
}

std::vector<qint64> rowsWhere(const std::vector<SearchRow>& rows,
                              const std::function<bool(const SearchRow&)>& wanted) {
    std::vector<qint64> found;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (wanted(rows[i])) found.push_back(static_cast<qint64>(i));
    return found;
}

QString trashProblems(const QStringList& lines, std::size_t tried) {
    const QLocale locale;
    QString text =
        IndexStore::tr("Not every item could be moved to the Trash (%1 of %2 stayed):")
            .arg(locale.toString(lines.size()), locale.toString(static_cast<qint64>(tried)));
    for (const QString& line : lines.mid(0, problemsNamed))
        text += QLatin1Char('\n') + line;
    if (lines.size() > problemsNamed)
        text += QLatin1Char('\n') +
                IndexStore::tr("…and %1 more").arg(locale.toString(lines.size() - problemsNamed));
    return text;
}

} // namespace

std::optional<SearchRow> IndexStore::selectedRow() const {
    if (selection_ < 0 || selection_ >= rowCount()) return std::nullopt;
    return (*rows_)[static_cast<std::size_t>(selection_)];
}

void IndexStore::setActionProblem(const std::optional<QString>& problem) {
    const QString text = problem.value_or(QString());
    if (text == actionProblem_) return;
    actionProblem_ = text;
    emit actionProblemChanged();
}

void IndexStore::setSelectedRows(std::vector<qint64> rows) {
    std::erase_if(rows, [&](qint64 row) { return row < 0 || row >= rowCount(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows == selectedRows_) return;
    selectedRows_ = std::move(rows);
    emit selectedRowsChanged();
}

std::vector<SearchRow> IndexStore::actionRows() const {
    std::vector<SearchRow> rows;
    for (const qint64 row : selectedRows_)
        rows.push_back((*rows_)[static_cast<std::size_t>(row)]);
    if (rows.empty())
        if (auto row = selectedRow()) rows.push_back(std::move(*row));
    return rows;
}

// The marks follow their entries when the same query answers again (more rows, a sort, a
// change on disk); the rows of another query start unmarked.
void IndexStore::keepMarksOf(const std::vector<SearchRow>& before, bool sameQuery) {
    if (selectedRows_.empty()) return;
    if (!sameQuery) return setSelectedRows({});
    std::set<std::int64_t> ids;
    for (const qint64 row : selectedRows_)
        if (row < static_cast<qint64>(before.size()))
            ids.insert(before[static_cast<std::size_t>(row)].id);
    setSelectedRows(rowsWhere(*rows_, [&](const SearchRow& row) { return ids.contains(row.id); }));
}

void IndexStore::recordQuery() {
    historyTimer_.stop();
    if (!rows_->empty()) searchHistory_.record(searchedQuery_);
}

void IndexStore::openSelected() {
    const auto rows = actionRows();
    if (static_cast<qint64>(rows.size()) > openWithoutAsking)
        emit openNeedsConfirmation(static_cast<qint64>(rows.size()));
    else
        openRows(rows);
}

void IndexStore::openSelectedConfirmed() {
    openRows(actionRows());
}

void IndexStore::openRows(const std::vector<SearchRow>& rows) {
    if (rows.empty()) return;
    recordQuery();
    for (const SearchRow& row : rows)
        if (auto problem = FileActions::open(pathOf(row), desktop_)) setActionProblem(problem);
    if (preferences_.closeAfterOpen()) emit hideRequested();
}

void IndexStore::revealSelected() {
    const auto row = selectedRow();
    if (!row) return;
    recordQuery();
    QPointer<IndexStore> self(this);
    FileActions::showInFileManager(pathOf(*row), desktop_, [self](FileActions::Problem problem) {
        if (self) self->setActionProblem(problem);
    });
}

// Each item goes on its own, so one that cannot be moved keeps none of the others back;
// what stayed remains marked, and the problem names each with its reason.
void IndexStore::trashSelected() {
    const auto targets = actionRows();
    if (targets.empty()) return;
    recordQuery();
    std::set<std::string> trashed;
    std::set<std::string> kept;
    QStringList reasons;
    FileActionUndo undo;
    for (const SearchRow& row : targets) {
        const std::string path = pathOf(row);
        if (trashed.contains(path) || kept.contains(path)) continue;
        std::string inTrash;
        if (auto problem = FileActions::moveToTrash(path, &inTrash)) {
            // One item's problem is shown as the system words it, as before marks existed.
            if (targets.size() == 1) return setActionProblem(problem);
            kept.insert(path);
            reasons << QStringLiteral("%1: %2").arg(shownText(row.name), *problem);
        } else {
            trashed.insert(path);
            undo.trashed.push_back({path, inTrash});
        }
    }
    const auto isTrashed = [&](const SearchRow& row) { return trashed.contains(pathOf(row)); };
    const auto gone = rowsWhere(*rows_, isTrashed);
    if (!gone.empty()) {
        trashedRows_.clear();
        for (const qint64 row : gone)
            trashedRows_.emplace_back(row, (*rows_)[static_cast<std::size_t>(row)]);
        trashedQuery_ = rowsQuery_;
        auto rows = *rows_;
        std::erase_if(rows, isTrashed);
        totalMatches_ = std::max<qint64>(totalMatches_ - static_cast<qint64>(gone.size()), 0);
        rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
        setStatus(foundStatus());
    }
    if (!undo.trashed.empty()) setUndo(std::move(undo));
    const auto stayed =
        rowsWhere(*rows_, [&](const SearchRow& row) { return kept.contains(pathOf(row)); });
    // The marks are moved onto the shorter list before it is announced, since whoever
    // follows the rows reads the marks with them.
    setSelectedRows(stayed);
    if (!gone.empty()) emit rowsChanged();
    // The list closes over the trashed rows; the focus lands where the first of them was.
    const qint64 focus = !stayed.empty() ? stayed.front()
                         : gone.empty()  ? selection_
                                         : std::min(selection_, gone.front());
    setSelection(std::min(focus, std::max<qint64>(rowCount() - 1, 0)));
    if (!reasons.isEmpty()) setActionProblem(trashProblems(reasons, targets.size()));
    loadDetail();
}

FileActions::Problem IndexStore::renameSelected(const QString& typed) {
    const auto row = selectedRow();
    if (!row) return std::nullopt;
    return rename(*row, typed);
}

FileActions::Problem IndexStore::rename(const SearchRow& row, const QString& typed) {
    const auto renamed = FileActions::rename(row.directory, row.name, typed);
    if (renamed.problem || !renamed.name) return renamed.problem;
    FileActionUndo undo;
    undo.kind = FileActionUndo::Kind::rename;
    undo.folder = row.directory;
    undo.oldName = row.name;
    undo.newName = *renamed.name;
    const std::string path = pathOf(row);
    auto rows = *rows_;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (pathOf(rows[i]) != path) continue;
        rows[i].name = *renamed.name;
        pinned_ = rows[i];
        pinnedRow_ = static_cast<qint64>(i);
    }
    replaceRows(std::move(rows));
    setUndo(std::move(undo));
    return std::nullopt;
}

void IndexStore::replaceRows(std::vector<SearchRow> rows) {
    rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
    emit rowsChanged();
    loadDetail();
}

void IndexStore::setUndo(std::optional<FileActionUndo> undo) {
    undo_ = std::move(undo);
    emit undoChanged();
}

void IndexStore::forgetUndo() {
    if (undo_) setUndo(std::nullopt);
}

void IndexStore::undoLastAction() {
    if (!undo_) return;
    if (undo_->kind == FileActionUndo::Kind::trash)
        undoTrash();
    else
        undoRename();
}

// What comes back is listed again where it was, when the list still answers the same query;
// what cannot come back stays recorded, so the user can free its place and try again.
void IndexStore::undoTrash() {
    std::vector<FileActionUndo::Trashed> stayed;
    std::set<std::string> restored;
    QStringList reasons;
    for (const auto& item : undo_->trashed) {
        if (auto problem = FileActionUndo::restore(item)) {
            stayed.push_back(item);
            reasons << *problem;
        } else {
            restored.insert(item.original);
        }
    }
    if (!restored.empty() && trashedQuery_ == rowsQuery_) {
        auto rows = *rows_;
        qint64 first = -1;
        for (const auto& [at, row] : trashedRows_) {
            if (!restored.contains(pathOf(row))) continue;
            const qint64 place = std::min<qint64>(at, static_cast<qint64>(rows.size()));
            rows.insert(rows.begin() + place, row);
            if (first < 0) first = place;
            ++totalMatches_;
        }
        replaceRows(std::move(rows));
        setStatus(foundStatus());
        if (first >= 0) setSelection(first);
        setSelectedRows({});
    }
    if (stayed.empty()) {
        setUndo(std::nullopt);
    } else {
        FileActionUndo rest = *undo_;
        rest.trashed = std::move(stayed);
        setUndo(std::move(rest));
    }
    if (!reasons.isEmpty()) setActionProblem(reasons.join(QLatin1Char('\n')));
}

void IndexStore::undoRename() {
    if (auto problem = undo_->renameBack()) return setActionProblem(problem);
    const std::string renamed = FileActions::fullPath(undo_->folder, undo_->newName);
    auto rows = *rows_;
    for (SearchRow& row : rows) {
        if (pathOf(row) != renamed) continue;
        row.name = undo_->oldName;
        if (pinned_ && pathOf(*pinned_) == renamed) pinned_ = row;
    }
    setUndo(std::nullopt);
    replaceRows(std::move(rows));
}

// A search of the same query may no longer find the renamed item (or finds it elsewhere):
// it stays listed, at its row, and keeps the selection it had.
void IndexStore::keepPinned(const std::optional<SearchRow>& selectedBefore) {
    if (!pinned_) return;
    const std::string path = pathOf(*pinned_);
    auto rows = *rows_;
    auto found =
        std::ranges::find_if(rows, [&](const SearchRow& row) { return pathOf(row) == path; });
    if (found == rows.end()) {
        const auto place = std::min<qint64>(pinnedRow_, static_cast<qint64>(rows.size()));
        found = rows.insert(rows.begin() + place, *pinned_);
        ++totalMatches_;
    }
    const auto row = static_cast<qint64>(found - rows.begin());
    rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
    if (selectedBefore && pathOf(*selectedBefore) == path) setSelection(row);
}

void IndexStore::copySelectedPath() {
    const auto rows = actionRows();
    if (rows.empty()) return;
    recordQuery();
    std::vector<std::string> paths;
    for (const SearchRow& row : rows)
        paths.push_back(pathOf(row));
    setActionProblem(FileActions::copyPaths(paths));
}

void IndexStore::copySelectedName() {
    if (const auto row = selectedRow()) setActionProblem(FileActions::copyName(row->name));
}

// The search runs again without a limit on its own copy of the index; the rows on screen
// are only the first pages of it.
void IndexStore::exportResults(const std::string& file) {
    if (!index_ || !names_ || query_.isEmpty()) return;
    Search::Request request = searchRequest();
    request.limit = std::numeric_limits<std::int64_t>::max();
    std::shared_ptr<ContentMatcher> content;
    if (!filters_.contentQuery.empty())
        content = std::make_shared<ContentMatcher>(filters_.contentQuery,
                                                   std::numeric_limits<std::int64_t>::max());
    tasks_->run(StoreTasks::Priority::userInitiated, [this, file, request = std::move(request),
                                                      content, index = *index_,
                                                      names = names_]() mutable {
        request.content = content.get();
        const Search::Result result = Search::run(request, index, *names);
        std::vector<std::string> paths;
        paths.reserve(result.hits.size());
        for (const Search::Hit& hit : result.hits)
            paths.push_back(storedPath(index, *names, hit.entry));
        auto problem =
            std::make_shared<FileActions::Problem>(FileActions::exportPaths(file, paths));
        tasks_->deliver([this, problem] {
            if (*problem) setActionProblem(*problem);
            emit exported(!problem->has_value());
        });
    });
}

void IndexStore::moveSelection(qint64 delta) {
    if (rows_->empty()) return;
    setSelection(std::clamp(selection_ + delta, qint64{0}, rowCount() - 1));
    if (selection_ >= rowCount() - loadMoreMargin) loadMore();
}

void IndexStore::loadDetail() {
    const auto row = selectedRow();
    if (!row) {
        if (detail_) {
            detail_.reset();
            emit detailChanged();
        }
        return;
    }
    tasks_->run(StoreTasks::Priority::utility, [this, path = pathOf(*row)] {
        auto detail = std::make_shared<FileDetail>(FileDetail::read(path));
        tasks_->deliver([this, path, detail] {
            // A slower read for an earlier selection never replaces the current one.
            const auto current = selectedRow();
            if (!current || pathOf(*current) != path) return;
            detail_ = *detail;
            emit detailChanged();
        });
    });
}

void IndexStore::saveCurrentSearch(const QString& name) {
    if (savedSearches_.add(name, query_, filters_, sort_)) emit savedSearchesChanged();
}

void IndexStore::apply(const SavedSearch& saved) {
    isApplyingSaved_ = true;
    setQuery(saved.query);
    if (saved.filters != filters_) setFilters(saved.filters);
    setSort(saved.sort);
    isApplyingSaved_ = false;
    search();
}

void IndexStore::removeSavedSearch(const SavedSearch& saved) {
    if (saved.isBuiltIn) return;
    savedSearches_.remove(saved);
    emit savedSearchesChanged();
}

void IndexStore::languageChanged() {
    if (phase_ == Phase::building)
        setStatus(tr("Building index…"));
    else if (phase_ == Phase::ready && query_.isEmpty())
        setStatus(readyStatus());
    else if (!query_.isEmpty())
        search();
}

} // namespace vesko
