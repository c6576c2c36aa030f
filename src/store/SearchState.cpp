// SPDX-License-Identifier: MIT
// The search the user is typing: when a search starts, the background task that runs it,
// dropping superseded results through the generation, paging and the status line.
#include "store/IndexStore.h"

#include "search/ContentMatcher.h"
#include "search/NameRules.h"
#include "store/QueryService.h"

#include <QLocale>
#include <QMimeDatabase>

#include <algorithm>

namespace vesko {
namespace {

constexpr char searchAsYouTypeKey[] = "searchAsYouType";
constexpr char foldersFirstKey[] = "foldersFirst";
constexpr char resultLimitKey[] = "resultLimit";
constexpr char sortKey[] = "sort";
constexpr std::int64_t contentExamineLimit = 30'000;

QString grouped(std::int64_t count) {
    return QLocale().toString(static_cast<qint64>(count));
}

// The file type's description, for sorting by kind; the MIME database is safe from any
// thread.
std::string kindOfExtension(std::string_view extension) {
    static const QMimeDatabase database;
    const auto types = database.mimeTypesForFileName(
        QStringLiteral("x.") +
        QString::fromUtf8(extension.data(), static_cast<int>(extension.size())));
    return types.isEmpty() ? std::string() : types.front().comment().toStdString();
}

} // namespace

struct IndexStore::SearchOutcome {
    std::int64_t generation = 0;
    std::string normalizedQuery;
    RowsAsked asked;
    bool initialConsonants = true;
    Search::Result result;
    std::vector<SearchRow> rows;
    std::shared_ptr<ContentMatcher> content;
};

void IndexStore::loadSearchSettings() {
    searchAsYouType_ = settings_.boolean(searchAsYouTypeKey, true);
    foldersFirst_ = settings_.boolean(foldersFirstKey, true);
    const std::int64_t noValue = std::numeric_limits<std::int64_t>::min();
    const std::int64_t stored = settings_.integer(resultLimitKey, noValue);
    pageSize_ = limit_ = Paging::snapped(stored == noValue ? std::nullopt : std::optional(stored));
    sort_ = ResultSort::fromStored(settings_.contains(sortKey)
                                       ? std::optional<std::string>(settings_.text(sortKey))
                                       : std::nullopt);
    filters_.matchDiacritics = preferences_.matchDiacritics();
}

void IndexStore::setQuery(const QString& text) {
    if (text == query_) return;
    const bool before = needsReturn();
    query_ = text;
    emit queryChanged();
    historyTimer_.stop(); // the shown rows are no longer what the user is looking at
    if (searchAsYouType_) {
        search();
    } else if (text.isEmpty()) {
        generation_->advance();
        historyTimer_.stop();
        rows_ = std::make_shared<const std::vector<SearchRow>>();
        rowsQuery_.clear();
        rowsAsked_ = {};
        ++rowsSearch_;
        setSelectedRows({});
        emit rowsChanged();
        setStatus({});
        searchedQuery_.clear();
        emit searchedQueryChanged();
    }
    writeNeedsReturn(before);
}

bool IndexStore::needsReturn() const {
    return !searchAsYouType_ && !query_.isEmpty() && query_ != searchedQuery_;
}

void IndexStore::writeNeedsReturn(bool before) {
    if (needsReturn() != before) emit needsReturnChanged();
}

std::optional<std::chrono::milliseconds> IndexStore::debounceDelay() const {
    if (filters_.useRegex) return env_.timing.regexDebounce;
    if (!filters_.contentQuery.empty()) return env_.timing.contentDebounce;
    return std::nullopt;
}

void IndexStore::search() {
    if (isApplyingSaved_) return;
    debounceTimer_.stop();
    const auto delay = debounceDelay();
    if (!delay) {
        runSearch();
        return;
    }
    debounceTimer_.start(static_cast<int>(delay->count()));
}

void IndexStore::runSearch() {
    if (!index_ || !names_) return;
    if (query_.isEmpty()) {
        clearResults();
        return;
    }
    if (!isLoadingMore_ && limit_ != pageSize_) {
        limit_ = pageSize_;
        emit limitChanged();
    }
    const bool before = needsReturn();
    searchedQuery_ = query_;
    emit searchedQueryChanged();
    writeNeedsReturn(before);

    const std::int64_t generation = generation_->advance();
    std::shared_ptr<ContentMatcher> content;
    if (!filters_.contentQuery.empty())
        content = std::make_shared<ContentMatcher>(filters_.contentQuery, contentExamineLimit);
    if (isSearchingContents_ != (content != nullptr)) {
        isSearchingContents_ = content != nullptr;
        emit isSearchingContentsChanged();
    }
    Search::Request request = searchRequest();
    request.content = content.get();
    request.isCancelled = generation_->cancellation(generation);
    auto previous = narrowing_ ? std::make_shared<Search::Narrowing>(*narrowing_) : nullptr;
    RowsAsked asked{request.query, filters_, sort_, foldersFirst_, indexEpoch_};
    tasks_->run(StoreTasks::Priority::userInitiated,
                [this, generation, request = std::move(request), previous, content,
                 asked = std::move(asked), keep = generation_, index = *index_,
                 names = names_]() mutable {
                    request.previous = previous.get();
                    auto out = std::make_shared<SearchOutcome>();
                    out->generation = generation;
                    out->normalizedQuery = request.query;
                    out->asked = std::move(asked);
                    out->initialConsonants = request.initialConsonants;
                    out->result = Search::run(request, index, *names);
                    if (keep->value() != generation) return; // superseded: drop it here
                    out->rows = SearchRow::build(out->result.hits, index, *names);
                    out->content = std::move(content);
                    tasks_->deliver([this, out] { publish(std::move(*out)); });
                });
    emit searchStarted(generation);
}

Search::Request IndexStore::searchRequest() const {
    const QueryDescription query{
        query_.toStdString(),       filters_,       sort_, limit_, foldersFirst_,
        tr("Folder").toStdString(), kindOfExtension};
    return query.request(QueryPreferences::of(preferences_));
}

QString IndexStore::foundStatus() const {
    const qint64 rows = rowCount();
    return (rows >= totalMatches_
                ? tr("%1 found").arg(grouped(totalMatches_))
                : tr("%1 found, showing %2").arg(grouped(totalMatches_), grouped(rows))) +
           statusExtras_;
}

void IndexStore::publish(SearchOutcome out) {
    if (out.generation != generation_->value()) return;
    const auto before = rows_;
    const auto selectedBefore = selectedRow();
    rows_ = std::make_shared<const std::vector<SearchRow>>(std::move(out.rows));
    const bool sameQuery = out.normalizedQuery == rowsQuery_;
    rowsQuery_ = out.normalizedQuery;
    const bool sameSearch = out.asked == rowsAsked_;
    if (!sameSearch) ++rowsSearch_;
    rowsAsked_ = std::move(out.asked);
    if (!sameQuery) pinned_.reset();
    if (out.result.narrowable)
        narrowing_ = Search::Narrowing{out.normalizedQuery, std::move(out.result.names),
                                       out.initialConsonants};
    else
        narrowing_.reset();
    regexProblem_ =
        out.result.regexProblem ? QString::fromStdString(*out.result.regexProblem) : QString();
    const auto rowCount = static_cast<std::int64_t>(rows_->size());
    if (env_.devSelect && !devSelectApplied_ && *env_.devSelect >= 0 &&
        *env_.devSelect < rowCount) {
        devSelectApplied_ = true;
        setSelection(*env_.devSelect);
    }
    if (isSearchingContents_) {
        isSearchingContents_ = false;
        emit isSearchingContentsChanged();
    }
    totalMatches_ = out.result.totalMatches;
    highlightTerms_.clear();
    for (const std::string& term : out.result.highlightTerms)
        highlightTerms_ << QString::fromStdString(term);
    if (isLoadingMore_) {
        isLoadingMore_ = false;
        emit isLoadingMoreChanged();
    }
    QString text;
    if (const ContentMatcher* content = out.content.get()) {
        text += QStringLiteral("  ·  ") + tr("read %1 files").arg(grouped(content->examined()));
        if (content->skippedBinary() > 0)
            text += QStringLiteral("  ·  ") +
                    tr("%1 binary skipped").arg(grouped(content->skippedBinary()));
        if (content->truncatedMiss() > 0)
            text +=
                QStringLiteral("  ·  ⚠️ ") + tr("%1 too large - only the first 32MB was read")
                                                      .arg(grouped(content->truncatedMiss()));
        if (content->hitLimit())
            text += QStringLiteral("  ·  ⚠️ ") + tr("stopped early - narrow the name first");
    }
    statusExtras_ = text;
    const qint64 focus = selection_;
    keepPinned(selectedBefore);
    if (sameSearch && selectedBefore && selection_ == focus) keepFocusOn(selectedBefore->id);
    // Marks first: whoever follows the rows reads the marks with them.
    keepMarksOf(*before, sameQuery);
    emit rowsChanged();
    setStatus(foundStatus());
    if (rowCount > 0)
        historyTimer_.start();
    else
        historyTimer_.stop();
}

void IndexStore::clearResults() {
    // A search still running for the previous text must not fill the emptied list.
    generation_->advance();
    historyTimer_.stop();
    rows_ = std::make_shared<const std::vector<SearchRow>>();
    rowsQuery_.clear();
    rowsAsked_ = {};
    ++rowsSearch_;
    pinned_.reset();
    totalMatches_ = 0;
    highlightTerms_.clear();
    narrowing_.reset();
    regexProblem_.clear();
    setSelection(0);
    if (isLoadingMore_) {
        isLoadingMore_ = false;
        emit isLoadingMoreChanged();
    }
    setSelectedRows({});
    emit rowsChanged();
    if (phase_ == Phase::ready) setStatus(readyStatus());
}

// A change on disk moves rows about under the user; the focus stays on its entry, or on its
// row when the entry is gone.
void IndexStore::keepFocusOn(std::int64_t id) {
    const auto& rows = *rows_;
    const auto found = std::ranges::find(rows, id, &SearchRow::id);
    if (found != rows.end()) setSelection(static_cast<qint64>(found - rows.begin()));
}

void IndexStore::loadMore() {
    if (!hasMore() || isLoadingMore_) return;
    isLoadingMore_ = true;
    emit isLoadingMoreChanged();
    limit_ += pageSize_;
    emit limitChanged();
    search();
}

void IndexStore::setStatus(const QString& text) {
    if (text == status_) return;
    status_ = text;
    emit statusChanged();
}

void IndexStore::setSearchAsYouType(bool on) {
    if (on == searchAsYouType_) return;
    const bool before = needsReturn();
    searchAsYouType_ = on;
    settings_.setBoolean(searchAsYouTypeKey, on);
    emit searchAsYouTypeChanged();
    writeNeedsReturn(before);
    if (on) search();
}

void IndexStore::setFoldersFirst(bool on) {
    if (on == foldersFirst_) return;
    foldersFirst_ = on;
    settings_.setBoolean(foldersFirstKey, on);
    emit foldersFirstChanged();
    search();
}

void IndexStore::setPageSize(qint64 size) {
    if (size == pageSize_) return;
    pageSize_ = size;
    settings_.setInteger(resultLimitKey, size);
    emit pageSizeChanged();
    limit_ = size;
    emit limitChanged();
    search();
}

void IndexStore::setSort(const ResultSort& sort) {
    if (sort == sort_) return;
    sort_ = sort;
    settings_.setText(sortKey, sort.toJson());
    emit sortChanged();
    search();
}

void IndexStore::toggleSort(ResultSort::Field clicked) {
    setSort(vesko::toggleSort(sort_, clicked));
}

void IndexStore::setFilters(const Filters& filters) {
    if (filters == filters_) return;
    // The one switch kept across sessions: the next window starts with it as left.
    if (filters.matchDiacritics != filters_.matchDiacritics)
        preferences_.setMatchDiacritics(filters.matchDiacritics);
    filters_ = filters;
    emit filtersChanged();
    search();
}

void IndexStore::setSelection(qint64 row) {
    if (row == selection_) return;
    selection_ = row;
    emit selectionChanged();
}

} // namespace vesko
