// SPDX-License-Identifier: MIT
#include "shell/ProviderSearch.h"

#include "search/QueryExpression.h"
#include "store/FileActions.h"
#include "store/IndexStore.h"
#include "store/ShownText.h"

#include <QIcon>
#include <QMimeDatabase>

namespace vesko {
namespace {

std::vector<ProviderSearch::Hit> searchIndex(const std::string& query, bool matchDiacritics,
                                             const FileIndex& index, const NameTable& names) {
    Search::Request request;
    request.query = Search::normalize(query, matchDiacritics);
    request.filters.matchDiacritics = matchDiacritics;
    request.sort = {ResultSort::Field::relevance, true};
    request.limit = ProviderSearch::maximumHits;
    const Search::Result result = Search::run(request, index, names);
    const std::vector<SearchRow> rows = SearchRow::build(result.hits, index, names);
    std::vector<ProviderSearch::Hit> hits;
    hits.reserve(rows.size());
    for (const SearchRow& row : rows)
        hits.push_back(
            {{}, row.path(), shownText(row.name), shownText(row.directory), row.isDirectory});
    return hits;
}

} // namespace

ProviderSearch::ProviderSearch(IndexStore& store, QObject* parent)
    : QObject(parent), store_(store) {
    // One search at a time: a launcher asks again on every key, and the newest waits for
    // at most one older search of a few milliseconds.
    pool_.setMaxThreadCount(1);
}

ProviderSearch::~ProviderSearch() {
    pool_.clear();
    pool_.waitForDone();
}

void ProviderSearch::find(const QStringList& terms, std::function<void(std::vector<Hit>)> done) {
    const QString joined = terms.join(QLatin1Char(' ')).trimmed();
    const QByteArray query = joined.toUtf8();
    const bool usable = !joined.isEmpty() && joined.isValidUtf16() &&
                        static_cast<std::size_t>(query.size()) <= QueryExpression::maxQueryBytes;
    if (!usable || store_.phase() != IndexStore::Phase::ready || !store_.index() ||
        !store_.names()) {
        done({});
        return;
    }
    pool_.start([this, query = query.toStdString(), index = *store_.index(), names = store_.names(),
                 matchDiacritics = store_.preferences().matchDiacritics(), done = std::move(done)] {
        auto hits = searchIndex(query, matchDiacritics, index, *names);
        QMetaObject::invokeMethod(
            this,
            [this, done, hits = std::move(hits)]() mutable {
                remember(hits);
                done(std::move(hits));
            },
            Qt::QueuedConnection);
    });
}

void ProviderSearch::remember(std::vector<Hit>& hits) {
    for (Hit& hit : hits) {
        hit.id = QString::fromLatin1(FileActions::fileUrl(hit.path).toEncoded());
        // An id handed out again is as new as the search that returned it.
        if (handedOut_.contains(hit.id)) std::erase(order_, hit.id);
        order_.push_back(hit.id);
        handedOut_.insert(hit.id, hit);
    }
    while (static_cast<qsizetype>(order_.size()) > rememberedIds) {
        handedOut_.remove(order_.front());
        order_.pop_front();
    }
}

const ProviderSearch::Hit* ProviderSearch::handedOut(const QString& id) const {
    const auto found = handedOut_.constFind(id);
    return found == handedOut_.constEnd() ? nullptr : &*found;
}

QString ProviderSearch::iconName(const QString& name, bool isDirectory) {
    if (isDirectory) return QStringLiteral("folder");
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QString icon = type.iconName();
    if (QIcon::themeName().isEmpty() || QIcon::hasThemeIcon(icon)) return icon;
    return type.genericIconName();
}

} // namespace vesko
