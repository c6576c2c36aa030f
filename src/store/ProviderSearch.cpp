// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/ProviderSearch.h"

#include "search/QueryExpression.h"
#include "store/FileActions.h"
#include "store/StoreTasks.h"

namespace vesko {

ProviderSearch::ProviderSearch(QueryService service, QObject* parent)
    : QObject(parent), service_(service),
      home_(std::make_shared<ReturnAddress>(new StoreMailbox(this))) {}

ProviderSearch::~ProviderSearch() {
    home_->close();
}

void ProviderSearch::find(const QStringList& terms, std::function<void(std::vector<Hit>)> done) {
    const QString joined = terms.join(QLatin1Char(' ')).trimmed();
    const QByteArray query = joined.toUtf8();
    const bool usable = !joined.isEmpty() && joined.isValidUtf16() &&
                        static_cast<std::size_t>(query.size()) <= QueryExpression::maxQueryBytes;
    if (!usable) {
        done({});
        return;
    }
    service_.launcherSearch(
        query.toStdString(), home_,
        [this, done = std::move(done)](std::vector<QueryService::LauncherHit> found) {
            std::vector<Hit> hits;
            hits.reserve(found.size());
            for (QueryService::LauncherHit& hit : found)
                hits.push_back({std::move(hit), {}});
            remember(hits);
            done(std::move(hits));
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

} // namespace vesko
