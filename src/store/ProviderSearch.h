// SPDX-License-Identifier: GPL-3.0-or-later
// The search behind the desktop's launchers (GNOME's overview, KRunner), living on the
// launchers' own thread: it hands what the user typed there to the QueryService and keeps
// the hits it returned, so that a launcher's calls, however large, never wait for the
// window's thread nor make it wait. While the index is building, or for a query too long or
// not text, the answer is empty: a launcher shows other results rather than wait for ours.
//
// A launcher names a hit back by its id, and anything on the session bus may send an id, so
// the launchers act only on ids handed out here in this session, remembered (a bounded
// number of them, the newest) with the hit's stored path. An id is the hit's file URL,
// which percent-encodes the path's bytes: a name that is not UTF-8 gets an id of its own
// that survives the bus's strings, never the id of its repaired twin.
#pragma once

#include "store/QueryService.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace vesko {

class ProviderSearch : public QObject {
    Q_OBJECT

public:
    struct Hit : QueryService::LauncherHit {
        QString id;
    };
    static constexpr int maximumHits = QueryService::launcherHits;
    // Ids remembered for the launchers to name back: many searches' worth.
    static constexpr qsizetype rememberedIds = 2000;

    explicit ProviderSearch(QueryService service, QObject* parent = nullptr);
    ~ProviderSearch() override;

    // `done` gets the hits, best first, with their ids remembered, later on this object's
    // thread.
    void find(const QStringList& terms, std::function<void(std::vector<Hit>)> done);

    // The hit handed out under `id` in this session, or nullptr. On this object's thread.
    const Hit* handedOut(const QString& id) const;

    const QueryService& service() const { return service_; }

private:
    void remember(std::vector<Hit>& hits);

    QueryService service_;
    std::shared_ptr<ReturnAddress> home_;
    QHash<QString, Hit> handedOut_;
    std::deque<QString> order_; // oldest first
};

} // namespace vesko
