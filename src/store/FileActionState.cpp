// SPDX-License-Identifier: MIT
// The store's side of the file actions: the selected row, the actions on it, the patches to
// the row list that show a trash or rename before the watcher reports it, the detail record
// read in the background, and the saved searches.
#include "store/IndexStore.h"

#include "store/FileActions.h"

namespace vesko {
namespace {

// Rows closer to the end of the loaded list than this ask for the next page.
constexpr qint64 loadMoreMargin = 10;

std::string pathOf(const SearchRow& row) {
    return FileActions::fullPath(row.directory, row.name);
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

void IndexStore::openSelected() {
    const auto row = selectedRow();
    if (!row) return;
    setActionProblem(FileActions::open(pathOf(*row), desktop_));
    if (preferences_.closeAfterOpen()) emit hideRequested();
}

void IndexStore::revealSelected() {
    const auto row = selectedRow();
    if (!row) return;
    QPointer<IndexStore> self(this);
    FileActions::showInFileManager(pathOf(*row), desktop_, [self](FileActions::Problem problem) {
        if (self) self->setActionProblem(problem);
    });
}

void IndexStore::trashSelected() {
    const auto row = selectedRow();
    if (!row) return;
    const std::string path = pathOf(*row);
    if (auto problem = FileActions::moveToTrash(path)) return setActionProblem(problem);
    auto rows = *rows_;
    std::erase_if(rows, [&](const SearchRow& item) { return pathOf(item) == path; });
    rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(rows));
    emit rowsChanged();
    setSelection(std::min(selection_, std::max<qint64>(rowCount() - 1, 0)));
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
    if (const auto row = selectedRow()) setActionProblem(FileActions::copyPath(pathOf(*row)));
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
