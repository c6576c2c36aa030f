// SPDX-License-Identifier: GPL-3.0-or-later
// The search the user is typing: when a search starts, the background task that runs it,
// dropping superseded results through the generation, the list of every hit, the status
// line, the selection and the marks.
#include "store/SearchSession.h"

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "scan/IndexBuilder.h"
#include "search/ContentMatcher.h"
#include "search/NameRules.h"
#include "search/Search.h"
#include "search/SearchGeneration.h"
#include "store/Preferences.h"
#include "store/QueryDescription.h"
#include "store/Settings.h"
#include "store/StoreEnvironment.h"
#include "store/StoreTasks.h"
#include "store/WalkedFolder.h"

#include <QMimeDatabase>

#include <regex.h>

#include <algorithm>
#include <functional>
#include <set>

namespace vesko {
namespace {

constexpr char searchAsYouTypeKey[] = "searchAsYouType";
constexpr char foldersFirstKey[] = "foldersFirst";
constexpr char resultLimitKey[] = "resultLimit";
constexpr char sortKey[] = "sort";
constexpr std::int64_t contentExamineLimit = 30'000;

SearchStatus statusOf(SearchStatus::Kind kind) {
    SearchStatus status;
    status.kind = kind;
    return status;
}

// Marks are carried to another order of the same query one pass over the hits each; beyond
// this many the carrying would cost more than the marks are worth, and they are dropped.
constexpr std::size_t mostMarksCarried = 256;

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

struct SearchSession::SearchOutcome {
    std::int64_t generation = 0;
    std::string normalizedQuery;
    RowsAsked asked;
    bool initialConsonants = true;
    std::uint64_t indexRevision = 0;
    Search::Result result;
    std::shared_ptr<const ResultList> list;
    std::shared_ptr<ContentMatcher> content;
};

SearchSession::SearchSession(const StoreEnvironment& env, Settings& settings,
                             Preferences& preferences, StoreTasks& tasks,
                             const IndexLifecycle& lifecycle, QObject* parent)
    : QObject(parent), env_(env), settings_(settings), preferences_(preferences), tasks_(tasks),
      lifecycle_(lifecycle), list_(std::make_shared<const ResultList>()),
      generation_(std::make_shared<SearchGeneration>()) {
    loadSearchSettings();
    debounceTimer_.setSingleShot(true);
    connect(&debounceTimer_, &QTimer::timeout, this, &SearchSession::runSearch);
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("initialConsonants")) search();
    });
    connect(&lifecycle_, &IndexLifecycle::indexReplaced, this, &SearchSession::indexReplaced);
    connect(&lifecycle_, &IndexLifecycle::buildStarted, this,
            [this] { setStatus(statusOf(SearchStatus::Kind::building)); });
    connect(&lifecycle_, &IndexLifecycle::buildFailed, this, [this](const QString& error) {
        SearchStatus failed = statusOf(SearchStatus::Kind::buildFailed);
        failed.detail = error;
        setStatus(failed);
    });
}

// A new index answers the query again; one with other entry ids (built, compacted) also
// ends the narrowing, and a compacted one the marks, which are kept by id.
void SearchSession::indexReplaced(IndexLifecycle::Change change) {
    switch (change) {
    case IndexLifecycle::Change::loaded:
        setStatus(itemsStatus());
        search();
        break;
    case IndexLifecycle::Change::built:
        narrowing_.reset();
        setStatus(readyStatus());
        search();
        break;
    case IndexLifecycle::Change::compacted:
        narrowing_.reset();
        setSelectedRows({});
        search();
        break;
    case IndexLifecycle::Change::updated:
        search();
        setStatus(itemsStatus());
        break;
    case IndexLifecycle::Change::partial:
        // More of the first scan: the query answers again from what has been read so far.
        narrowing_.reset();
        if (!query_.isEmpty()) search();
        break;
    }
}

SearchStatus SearchSession::itemsStatus() const {
    SearchStatus status = statusOf(SearchStatus::Kind::items);
    status.entries = lifecycle_.entryCount();
    return status;
}

SearchStatus SearchSession::readyStatus() const {
    const auto& report = lifecycle_.report();
    if (!report) return itemsStatus();
    SearchStatus status = statusOf(SearchStatus::Kind::ready);
    status.entries = static_cast<qint64>(report->entries);
    status.seconds = report->duration;
    return status;
}

void SearchSession::loadSearchSettings() {
    searchAsYouType_ = settings_.boolean(searchAsYouTypeKey, true);
    foldersFirst_ = settings_.boolean(foldersFirstKey, true);
    const std::int64_t noValue = std::numeric_limits<std::int64_t>::min();
    const std::int64_t stored = settings_.integer(resultLimitKey, noValue);
    pageSize_ = Paging::snapped(stored == noValue ? std::nullopt : std::optional(stored));
    sort_ = ResultSort::fromStored(settings_.contains(sortKey)
                                       ? std::optional<std::string>(settings_.text(sortKey))
                                       : std::nullopt);
    filters_.matchDiacritics = preferences_.matchDiacritics();
}

void SearchSession::setQuery(const QString& text) {
    if (text == query_) return;
    const bool before = needsReturn();
    query_ = text;
    emit queryChanged();
    if (searchAsYouType_) {
        search();
    } else if (text.isEmpty()) {
        generation_->advance();
        rowsQuery_.clear();
        rowsAsked_ = {};
        ++rowsSearch_;
        setSelectedRows({});
        setList(std::make_shared<const ResultList>(), false);
        setStatus({});
        searchedQuery_.clear();
        emit searchedQueryChanged();
    }
    writeNeedsReturn(before);
}

bool SearchSession::needsReturn() const {
    return !searchAsYouType_ && !query_.isEmpty() && query_ != searchedQuery_;
}

void SearchSession::writeNeedsReturn(bool before) {
    if (needsReturn() != before) emit needsReturnChanged();
}

std::optional<std::chrono::milliseconds> SearchSession::debounceDelay() const {
    if (filters_.useRegex) return env_.timing.regexDebounce;
    if (!filters_.contentQuery.empty()) return env_.timing.contentDebounce;
    return std::nullopt;
}

void SearchSession::search() {
    if (isApplyingSaved_) return;
    debounceTimer_.stop();
    const auto delay = debounceDelay();
    if (!delay) {
        runSearch();
        return;
    }
    debounceTimer_.start(static_cast<int>(delay->count()));
}

void SearchSession::setScope(std::string path, std::shared_ptr<const WalkedFolder> walked) {
    if (path == scopePath_ && walked == walked_) return;
    scopePath_ = std::move(path);
    walked_ = std::move(walked);
    ++scopeSerial_;
    scope_.reset();
    // Name ids of one table mean nothing in another.
    narrowing_.reset();
    emit scopeChanged();
    // A folder still being read answers nothing yet, rather than what the last scope found.
    if (walked_ && !walked_->index) {
        clearResults();
        return;
    }
    search();
}

namespace {

// From this many hits on the list is ordered by digest on the pool. Below it the window's
// thread does so within half a frame at the first drag, which costs less than the pass
// competing with the next keystroke's search for the two cores.
constexpr std::size_t preparedFrom = 65536;

} // namespace

void SearchSession::runSearch() {
    const auto& index = walked_ ? walked_->index : lifecycle_.index();
    const auto& names = walked_ ? walked_->names : lifecycle_.names();
    if (!index || !names) return;
    if (query_.isEmpty()) {
        clearResults();
        return;
    }
    const bool before = needsReturn();
    searchedQuery_ = query_;
    emit searchedQueryChanged();
    writeNeedsReturn(before);

    const std::int64_t generation = generation_->advance();
    awaited_ = generation;
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
    const std::uint64_t epoch = walked_ ? 0 : lifecycle_.indexEpoch();
    request.folderNoise = walked_ ? nullptr : folderNoise();
    if (scopeEpoch_ == epoch) request.scope = scope_;
    request.keepsAll = true;
    // A file made or renamed since may hold the longer word without holding the shorter
    // one's match: another revision of the index starts afresh.
    const std::uint64_t revision = lifecycle_.indexRevision();
    auto previous = narrowing_ && narrowingRevision_ == revision
                        ? std::make_shared<Search::Narrowing>(*narrowing_)
                        : nullptr;
    RowsAsked asked{request.query, filters_, sort_, foldersFirst_, epoch, scopeSerial_};
    tasks_.run(StoreTasks::Priority::userInitiated,
               [this, generation, request = std::move(request), previous, content, revision,
                asked = std::move(asked), keep = generation_, ownIndex = walked_ != nullptr,
                index = *index, names = names]() mutable {
                   request.previous = previous.get();
                   auto out = std::make_shared<SearchOutcome>();
                   out->generation = generation;
                   out->normalizedQuery = request.query;
                   out->asked = std::move(asked);
                   out->initialConsonants = request.initialConsonants;
                   out->indexRevision = revision;
                   out->result = Search::run(request, index, *names);
                   if (ownIndex) out->result.folderNoise.reset(); // of another index
                   if (keep->value() != generation) return;       // superseded: drop it here
                   auto rows = SearchRow::build(out->result.hits, index, *names);
                   const std::shared_ptr<ResultOrder> order = out->result.order;
                   // Taken before the window can touch the order.
                   auto prepared = order && order->size() >= preparedFrom
                                       ? std::make_shared<ResultOrder>(*order)
                                       : nullptr;
                   out->list = std::make_shared<const ResultList>(std::move(out->result.order),
                                                                  index, names, std::move(rows));
                   out->content = std::move(content);
                   tasks_.deliver([this, out] { publish(std::move(*out)); });
                   // The first rows are on their way; ordering the rest here spares the
                   // window's thread that pass at the first drag of the scroll bar.
                   if (!prepared || !prepared->prepare(request.isCancelled)) return;
                   tasks_.deliver([this, order, prepared] {
                       if (order->adopt(std::move(*prepared))) emit orderPrepared();
                   });
               });
    emit searchStarted(generation);
}

bool SearchSession::isAnswerPending() const {
    return debounceTimer_.isActive() || (awaited_ >= 0 && awaited_ == generation_->value());
}

void SearchSession::cancelSearches() {
    generation_->advance();
}

std::int64_t SearchSession::generation() const {
    return generation_->value();
}

Search::Request SearchSession::searchRequest() const {
    const QueryDescription query{query_.toStdString(), filters_,    sort_,           pageSize_,
                                 foldersFirst_,        folderKind_, kindOfExtension, scopePath_};
    Search::Request request = query.request(QueryPreferences::of(preferences_));
    // A person who mistyped sees what was probably meant; scripts get exact answers.
    request.nearWhenEmpty = true;
    return request;
}

SearchStatus SearchSession::foundStatus() const {
    SearchStatus status = contentStatus_;
    status.kind = SearchStatus::Kind::found;
    status.found = totalMatches_;
    status.nearMatches = nearMatches_;
    if (nearMatches_) status.query = searchedQuery_;
    return status;
}

void SearchSession::publish(SearchOutcome out) {
    if (out.generation != generation_->value()) return;
    awaited_ = -1;
    const auto before = list_;
    const auto selectedBefore = selectedRow();
    list_ = std::move(out.list);
    ++listVersion_;
    const bool sameQuery = out.normalizedQuery == rowsQuery_;
    rowsQuery_ = out.normalizedQuery;
    const bool sameSearch = out.asked == rowsAsked_;
    // Another index (built, loaded, compacted, or a walked folder's) numbers its entries
    // anew: an id carried over would name another file.
    const bool sameIds = out.asked.indexEpoch == rowsAsked_.indexEpoch &&
                         out.asked.scopeSerial == rowsAsked_.scopeSerial;
    // The same search answered by another index: the files are found again by their paths.
    const bool reindexed = !sameIds && [&] {
        RowsAsked asked = out.asked;
        asked.indexEpoch = rowsAsked_.indexEpoch;
        return asked == rowsAsked_;
    }();
    if (!sameSearch) ++rowsSearch_;
    if (out.result.scope && out.asked.scopeSerial == scopeSerial_) {
        scope_ = out.result.scope;
        scopeEpoch_ = out.asked.indexEpoch;
    }
    if (out.result.folderNoise) {
        folderNoise_ = out.result.folderNoise;
        folderNoiseEpoch_ = out.asked.indexEpoch;
    }
    rowsAsked_ = std::move(out.asked);
    if (!sameQuery) pinned_.reset();
    if (out.result.narrowable) {
        narrowing_ = std::make_shared<const Search::Narrowing>(
            Search::Narrowing{.query = out.normalizedQuery,
                              .names = std::move(out.result.names),
                              .initialConsonants = out.initialConsonants,
                              .entries = std::move(out.result.entries)});
        narrowingRevision_ = out.indexRevision;
    } else {
        narrowing_.reset();
    }
    regexProblem_ =
        out.result.regexProblem ? QString::fromStdString(*out.result.regexProblem) : QString();
    regexProblemGeneric_ = out.result.regexProblemCode == REG_BADPAT;
    const auto rowCount = list_->count();
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
    nearMatches_ = out.result.nearMatches;
    highlightTerms_.clear();
    for (const std::string& term : out.result.highlightTerms)
        highlightTerms_ << QString::fromStdString(term);
    contentStatus_ = {};
    if (const ContentMatcher* content = out.content.get()) {
        contentStatus_.readContents = true;
        contentStatus_.examined = content->examined();
        contentStatus_.skippedBinary = content->skippedBinary();
        contentStatus_.truncated = content->truncatedMiss();
        contentStatus_.hitLimit = content->hitLimit();
    }
    const qint64 focus = selection_;
    keepPinned(selectedBefore);
    if (selectedBefore && selection_ == focus) {
        if (sameSearch) keepFocusOn(selectedBefore->id);
        if (reindexed) keepFocusOnFile(*selectedBefore);
    }
    // Marks first: whoever follows the rows reads the marks with them.
    if (sameSearch) {
        previous_ = before;
        change_ = changeBetween(*before, *list_);
    }
    keepMarksOf(*before, sameQuery && sameIds ? Carried::byId
                         : reindexed          ? Carried::byPath
                                              : Carried::nothing);
    announceRows();
    setStatus(foundStatus());
    emit answered();
}

void SearchSession::clearResults() {
    // A search still running for the previous text must not fill the emptied list.
    generation_->advance();
    rowsQuery_.clear();
    rowsAsked_ = {};
    ++rowsSearch_;
    pinned_.reset();
    totalMatches_ = 0;
    nearMatches_ = false;
    highlightTerms_.clear();
    narrowing_.reset();
    regexProblem_.clear();
    regexProblemGeneric_ = false;
    setSelection(0);
    setSelectedRows({});
    setList(std::make_shared<const ResultList>(), false);
    if (lifecycle_.phase() == IndexLifecycle::Phase::ready) setStatus(readyStatus());
}

// A change on disk moves rows about under the user; the focus stays on its entry, or on its
// row when the entry is gone.
void SearchSession::keepFocusOn(std::int64_t id) {
    if (const auto found = list_->positionOf(id)) setSelection(*found);
}

std::vector<SearchRow> SearchSession::rows(qint64 first, qint64 last) const {
    std::vector<SearchRow> rows;
    for (qint64 position = first; position < std::min(last, rowCount()); ++position)
        rows.push_back(row(position));
    return rows;
}

void SearchSession::setList(std::shared_ptr<const ResultList> list, bool sameSearch) {
    previous_ = list_;
    list_ = std::move(list);
    ++listVersion_;
    if (!sameSearch) previous_.reset();
    announceRows();
}

// Whoever follows the rows learns from the change how the list before became this one;
// neither outlives the announcement.
void SearchSession::announceRows() {
    if (!change_ && previous_ && previous_ != list_) change_ = changeBetween(*previous_, *list_);
    if (!change_) previous_.reset();
    emit rowsChanged();
    previous_.reset();
    change_.reset();
}

void SearchSession::setStatus(const SearchStatus& status) {
    if (status == status_) return;
    status_ = status;
    emit statusChanged();
}

void SearchSession::setSearchAsYouType(bool on) {
    if (on == searchAsYouType_) return;
    const bool before = needsReturn();
    searchAsYouType_ = on;
    settings_.setBoolean(searchAsYouTypeKey, on);
    emit searchAsYouTypeChanged();
    writeNeedsReturn(before);
    if (on) search();
}

void SearchSession::setFoldersFirst(bool on) {
    if (on == foldersFirst_) return;
    foldersFirst_ = on;
    settings_.setBoolean(foldersFirstKey, on);
    emit foldersFirstChanged();
    search();
}

void SearchSession::setPageSize(qint64 size) {
    if (size == pageSize_) return;
    pageSize_ = size;
    settings_.setInteger(resultLimitKey, size);
    emit pageSizeChanged();
}

void SearchSession::setSort(const ResultSort& sort) {
    if (sort == sort_) return;
    sort_ = sort;
    settings_.setText(sortKey, sort.toJson());
    emit sortChanged();
    search();
}

void SearchSession::toggleSort(ResultSort::Field clicked) {
    setSort(vesko::toggleSort(sort_, clicked));
}

void SearchSession::setFilters(const Filters& filters) {
    if (filters == filters_) return;
    // The one switch kept across sessions: the next window starts with it as left.
    if (filters.matchDiacritics != filters_.matchDiacritics)
        preferences_.setMatchDiacritics(filters.matchDiacritics);
    filters_ = filters;
    emit filtersChanged();
    search();
}

void SearchSession::setSelection(qint64 row) {
    if (row == selection_) return;
    selection_ = row;
    emit selectionChanged();
}

std::optional<SearchRow> SearchSession::selectedRow() const {
    if (selection_ < 0 || selection_ >= rowCount()) return std::nullopt;
    return row(selection_);
}

void SearchSession::setSelectedRows(std::vector<qint64> rows) {
    std::erase_if(rows, [&](qint64 row) { return row < 0 || row >= rowCount(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows == selectedRows_) return;
    selectedRows_ = std::move(rows);
    emit selectedRowsChanged();
}

std::vector<SearchRow> SearchSession::actionRows() const {
    std::vector<SearchRow> rows;
    for (const qint64 position : selectedRows_)
        rows.push_back(row(position));
    if (rows.empty())
        if (auto row = selectedRow()) rows.push_back(std::move(*row));
    return rows;
}

// The marks follow their entries when the same query answers again from the same index
// (a sort, a change on disk), and their files when the same search answers from another
// index; the rows of another query start unmarked.
void SearchSession::keepMarksOf(const ResultList& before, Carried carried) {
    if (selectedRows_.empty()) return;
    if (carried == Carried::nothing) return setSelectedRows({});
    std::vector<qint64> marks;
    if (carried == Carried::byPath) {
        if (selectedRows_.size() > mostMarksCarried) return setSelectedRows({});
        std::vector<SearchRow> files;
        for (const qint64 row : selectedRows_)
            if (row < before.count()) files.push_back(before.row(row));
        for (const auto& found : list_->positionsOfFiles(files))
            if (found) marks.push_back(*found);
        return setSelectedRows(std::move(marks));
    }
    if (change_) {
        for (const qint64 row : selectedRows_)
            if (const auto found = change_->follow(row)) marks.push_back(*found);
        return setSelectedRows(std::move(marks));
    }
    if (selectedRows_.size() > mostMarksCarried) return keepNearlyAllMarked(before);
    for (const qint64 row : selectedRows_)
        if (row < before.count())
            if (const auto found = list_->positionOf(before.idAt(row))) marks.push_back(*found);
    setSelectedRows(std::move(marks));
}

// Nearly every row marked (Ctrl+A, then a few taken out): the few rows left unmarked are
// followed instead, and a hit the list before did not hold comes unmarked.
void SearchSession::keepNearlyAllMarked(const ResultList& before) {
    if (before.count() - static_cast<qint64>(selectedRows_.size()) >
        static_cast<qint64>(mostMarksCarried))
        return setSelectedRows({});
    const std::vector<std::int64_t> was = before.ids(), is = list_->ids();
    std::int64_t bound = 0;
    for (const auto* ids : {&was, &is})
        for (const std::int64_t id : *ids)
            bound = std::max(bound, id + 1);
    std::vector<bool> isMarked(static_cast<std::size_t>(bound));
    for (const std::int64_t id : was)
        isMarked[static_cast<std::size_t>(id)] = true;
    auto mark = selectedRows_.begin();
    for (qint64 row = 0; row < before.count(); ++row) {
        while (mark != selectedRows_.end() && *mark < row)
            ++mark;
        if (mark == selectedRows_.end() || *mark != row)
            isMarked[static_cast<std::size_t>(before.idAt(row))] = false;
    }
    std::vector<qint64> unmarked;
    for (const std::int64_t id : is) {
        if (isMarked[static_cast<std::size_t>(id)]) continue;
        if (unmarked.size() == mostMarksCarried) return setSelectedRows({});
        unmarked.push_back(*list_->positionOf(id));
    }
    std::ranges::sort(unmarked);
    std::vector<qint64> marks;
    marks.reserve(static_cast<std::size_t>(list_->count()));
    auto skip = unmarked.begin();
    for (qint64 row = 0; row < list_->count(); ++row) {
        if (skip != unmarked.end() && *skip == row)
            ++skip;
        else
            marks.push_back(row);
    }
    setSelectedRows(std::move(marks));
}

// After another index (a part of the first scan, a rescan, a compaction) the focus stays on
// its file, looked for about its row first. The top row is where a search puts the focus: a
// best hit that fell far down leaves it on the new best hit rather than scroll away to it.
void SearchSession::keepFocusOnFile(const SearchRow& before) {
    if (const auto found = rowNear(before.path(), before.position)) return setSelection(*found);
    if (before.position == 0) return;
    if (const auto found = list_->positionsOfFiles({before}).front()) setSelection(*found);
}

// The row within a page of `near` that lists `path`, as a person would see a row move.
std::optional<qint64> SearchSession::rowNear(const std::string& path, qint64 near) const {
    const qint64 last = std::min(near + ResultList::pageRows, list_->count());
    for (qint64 r = std::max<qint64>(near - ResultList::pageRows, 0); r < last; ++r)
        if (list_->row(r).path() == path) return r;
    return std::nullopt;
}

// A search of the same query may no longer find the renamed item (or finds it elsewhere):
// it stays listed, at its row, and keeps the selection it had.
// It is looked for on the rows about its place, as a person would see it move.
void SearchSession::keepPinned(const std::optional<SearchRow>& selectedBefore) {
    if (!pinned_) return;
    const std::string path = pinned_->path();
    const qint64 near = std::min(pinnedRow_, list_->count());
    std::optional<qint64> found = rowNear(path, near);
    if (!found) {
        auto list = std::make_shared<ResultList>(*list_);
        list->insert(near, *pinned_);
        list_ = std::move(list);
        ++listVersion_;
        found = near;
        ++totalMatches_;
    }
    if (selectedBefore && selectedBefore->path() == path) setSelection(*found);
}

void SearchSession::pin(const SearchRow& renamed, qint64 row) {
    pinned_ = renamed;
    pinnedRow_ = row;
}

void SearchSession::moveSelection(qint64 delta) {
    if (rowCount() == 0) return;
    setSelection(std::clamp(selection_ + delta, qint64{0}, rowCount() - 1));
}

void SearchSession::patchRows(std::shared_ptr<const ResultList> list, qint64 totalMatches) {
    if (!previous_) previous_ = list_;
    list_ = std::move(list);
    ++listVersion_;
    totalMatches_ = totalMatches;
    setStatus(foundStatus());
}

void SearchSession::replaceRows(std::shared_ptr<const ResultList> list) {
    setList(std::move(list), true);
}

} // namespace vesko
