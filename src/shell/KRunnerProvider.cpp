// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KRunnerProvider.h"

#include "shell/SearchProviders.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace vesko {

QDBusArgument& operator<<(QDBusArgument& out, const RunnerMatch& match) {
    out.beginStructure();
    out << match.id << match.text << match.iconName << match.type << match.relevance
        << match.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, RunnerMatch& match) {
    in.beginStructure();
    in >> match.id >> match.text >> match.iconName >> match.type >> match.relevance >>
        match.properties;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const RunnerAction& action) {
    out.beginStructure();
    out << action.id << action.text << action.iconName;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, RunnerAction& action) {
    in.beginStructure();
    in >> action.id >> action.text >> action.iconName;
    in.endStructure();
    return in;
}

KRunnerProvider::KRunnerProvider(ProviderSearch& search, QObject* parent)
    : QObject(parent), search_(search) {}

void KRunnerProvider::registerTypes() {
    qDBusRegisterMetaType<RunnerMatch>();
    qDBusRegisterMetaType<QList<RunnerMatch>>();
    qDBusRegisterMetaType<RunnerAction>();
    qDBusRegisterMetaType<QList<RunnerAction>>();
}

QList<RunnerMatch> KRunnerProvider::Match(const QString& query) {
    setDelayedReply(true);
    if (!SearchProviders::callerIsUs(*this)) return {};
    search_.find({query}, [query, request = message(),
                           bus = connection()](std::vector<ProviderSearch::Hit> hits) {
        QList<RunnerMatch> matches;
        // Relevance falls with the rank, so KRunner keeps our order among its other runners'.
        double relevance = 1.0;
        for (const ProviderSearch::Hit& hit : hits) {
            const bool exact = hit.name.compare(query.trimmed(), Qt::CaseInsensitive) == 0;
            matches.append({hit.id,
                            hit.name,
                            hit.icon,
                            exact ? exactMatch : possibleMatch,
                            relevance,
                            {{"subtext", hit.folder}, {"urls", QStringList{hit.id}}}});
            relevance -= 0.02;
        }
        bus.send(request.createReply(QVariant::fromValue(matches)));
    });
    return {};
}

QList<RunnerAction> KRunnerProvider::Actions() {
    return {{showInFolder, tr("Show in File Manager"), "folder-open"}};
}

// The reply waits for the window's thread to have acted.
void KRunnerProvider::Run(const QString& matchId, const QString& actionId) {
    if (!SearchProviders::callerIsUs(*this)) return;
    const ProviderSearch::Hit* hit = search_.handedOut(matchId);
    if (!hit) return;
    setDelayedReply(true);
    auto replied = [request = message(), bus = connection()] { bus.send(request.createReply()); };
    if (actionId == QLatin1String(showInFolder))
        search_.service().showInFileManager(hit->path, replied);
    else
        search_.service().open(hit->path, replied);
}

} // namespace vesko
