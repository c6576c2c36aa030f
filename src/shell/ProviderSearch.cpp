// SPDX-License-Identifier: MIT
#include "shell/ProviderSearch.h"

#include "search/QueryExpression.h"
#include "store/IndexStore.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

namespace vesko {
namespace {

std::vector<ProviderSearch::Hit> searchIndex(const std::string& query, const FileIndex& index,
                                             const NameTable& names) {
    Search::Request request;
    request.query = Search::normalize(query);
    request.sort = {ResultSort::Field::relevance, true};
    request.limit = ProviderSearch::maximumHits;
    const Search::Result result = Search::run(request, index, names);
    std::vector<ProviderSearch::Hit> hits;
    hits.reserve(result.hits.size());
    for (const Search::Hit& hit : result.hits) {
        const auto directory = index.entryDir[static_cast<std::size_t>(hit.entry)];
        hits.push_back({QString::fromStdString(index.path(hit.entry, names)),
                        QString::fromStdString(
                            names.display(index.entryName[static_cast<std::size_t>(hit.entry)])),
                        QString::fromStdString(index.pathOfDirectory(directory, names)),
                        hit.isDirectory});
    }
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
                 done = std::move(done)] {
        auto hits = searchIndex(query, index, *names);
        QMetaObject::invokeMethod(
            this, [done, hits = std::move(hits)]() mutable { done(std::move(hits)); },
            Qt::QueuedConnection);
    });
}

QString ProviderSearch::iconName(const QString& path, bool isDirectory) {
    if (isDirectory) return QStringLiteral("folder");
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    const QString name = type.iconName();
    if (QIcon::themeName().isEmpty() || QIcon::hasThemeIcon(name)) return name;
    return type.genericIconName();
}

ProviderSearch::Hit ProviderSearch::describe(const QString& path) {
    const QFileInfo info(path);
    return {path, info.fileName(), info.path(), info.isDir() && !info.isSymLink()};
}

} // namespace vesko
