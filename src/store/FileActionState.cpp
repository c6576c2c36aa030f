// SPDX-License-Identifier: MIT
// The store's side of the file actions: the selected row, the actions on it, the patches to
// the row list that show a trash or rename before the watcher reports it, the detail record
// read in the background, and the saved searches.
#include "store/IndexStore.h"

#include "store/FileActions.h"
#include "store/ShownText.h"

#include <QLocale>

#include <algorithm>
#include <functional>
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
    for (const SearchRow& row : targets) {
        const std::string path = pathOf(row);
        if (trashed.contains(path) || kept.contains(path)) continue;
        if (auto problem = FileActions::moveToTrash(path)) {
            // One item's problem is shown as the system words it, as before marks existed.
            if (targets.size() == 1) return setActionProblem(problem);
            kept.insert(path);
            reasons << QStringLiteral("%1: %2").arg(shownText(row.name), *problem);
        } else {
            trashed.insert(path);
        }
    }
    const auto isTrashed = [&](const SearchRow& row) { return trashed.contains(pathOf(row)); };
    const auto gone = rowsWhere(*rows_, isTrashed);
    if (!gone.empty()) {
        auto rows = *rows_;
        std::erase_if(rows, isTrashed);
        rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
    }
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

void IndexStore::renameSelected(const QString& typed) {
    const auto row = selectedRow();
    if (!row) return;
    const auto renamed = FileActions::rename(row->directory, row->name, typed);
    if (renamed.problem) return setActionProblem(renamed.problem);
    if (!renamed.name) return;
    const std::string path = pathOf(*row);
    auto rows = *rows_;
    for (SearchRow& item : rows)
        if (pathOf(item) == path) item.name = *renamed.name;
    rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
    emit rowsChanged();
    loadDetail();
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

void IndexStore::exportResults(const std::string& file) {
    std::vector<std::string> paths;
    paths.reserve(rows_->size());
    for (const SearchRow& row : *rows_)
        paths.push_back(pathOf(row));
    if (auto problem = FileActions::exportPaths(file, paths)) setActionProblem(problem);
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
