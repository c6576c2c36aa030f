// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/GnomeSearchProvider.h"

#include "shell/SearchProviders.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace vesko {

GnomeSearchProvider::GnomeSearchProvider(ProviderSearch& search,
                                         std::function<void(const QString&)> showSearch,
                                         QObject* parent)
    : QObject(parent), search_(search), showSearch_(std::move(showSearch)) {}

QStringList GnomeSearchProvider::GetInitialResultSet(const QStringList& terms) {
    answerLater(terms);
    return {};
}

// The narrower query is searched afresh: on a million entries that is as quick as
// filtering the previous hits, and its best hits may be ones the previous list left out.
QStringList GnomeSearchProvider::GetSubsearchResultSet(const QStringList&,
                                                       const QStringList& terms) {
    answerLater(terms);
    return {};
}

void GnomeSearchProvider::answerLater(const QStringList& terms) {
    setDelayedReply(true);
    if (!SearchProviders::callerIsUs(*this)) return;
    search_.find(terms,
                 [request = message(), bus = connection()](std::vector<ProviderSearch::Hit> hits) {
                     QStringList ids;
                     for (const ProviderSearch::Hit& hit : hits)
                         ids.append(hit.id);
                     // A caller gone meanwhile is no error: the bus drops the reply.
                     bus.send(request.createReply(ids));
                 });
}

QList<QVariantMap> GnomeSearchProvider::GetResultMetas(const QStringList& identifiers) {
    if (!SearchProviders::callerIsUs(*this)) {
        setDelayedReply(true);
        return {};
    }
    QList<QVariantMap> metas;
    for (const QString& id : identifiers.mid(0, maximumMetas)) {
        const ProviderSearch::Hit* hit = search_.handedOut(id);
        if (!hit) continue;
        metas.append(
            {{"id", id}, {"name", hit->name}, {"description", hit->folder}, {"gicon", hit->icon}});
    }
    return metas;
}

void GnomeSearchProvider::replyAfter(const std::function<void(std::function<void()>)>& act) {
    setDelayedReply(true);
    act([request = message(), bus = connection()] { bus.send(request.createReply()); });
}

void GnomeSearchProvider::ActivateResult(const QString& identifier, const QStringList&, uint) {
    if (!SearchProviders::callerIsUs(*this)) return;
    if (const ProviderSearch::Hit* hit = search_.handedOut(identifier))
        replyAfter([&](auto replied) { search_.service().open(hit->path, std::move(replied)); });
}

void GnomeSearchProvider::LaunchSearch(const QStringList& terms, uint) {
    if (!SearchProviders::callerIsUs(*this) || !showSearch_) return;
    replyAfter([&](auto replied) {
        search_.service().onStoreThread(
            [show = showSearch_, text = terms.join(QLatin1Char(' ')), replied] {
                show(text);
                replied();
            });
    });
}

} // namespace vesko
