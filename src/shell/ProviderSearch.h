// SPDX-License-Identifier: MIT
// The search behind the desktop's launchers (GNOME's overview, KRunner): the best few hits
// by relevance for what the user typed there, found on a worker thread over a copy of the
// window's index, so a launcher typing fast never stalls the window. While the index is
// building, or for a query too long or not text, the answer is empty at once: a launcher
// shows other results rather than wait for ours.
//
// A launcher names a hit back by its id, and anything on the session bus may send an id, so
// the launchers act only on ids handed out here in this session, remembered (a bounded
// number of them, the newest) with the hit's stored path. An id is the hit's file URL,
// which percent-encodes the path's bytes: a name that is not UTF-8 gets an id of its own
// that survives the bus's strings, never the id of its repaired twin.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vesko {

class IndexStore;

class ProviderSearch : public QObject {
    Q_OBJECT

public:
    struct Hit {
        QString id;
        std::string path; // stored bytes
        QString name;     // shown text (shownText), as is the folder
        QString folder;
        bool isDirectory = false;
    };
    static constexpr int maximumHits = 20;
    // Ids remembered for the launchers to name back: many searches' worth.
    static constexpr qsizetype rememberedIds = 2000;

    explicit ProviderSearch(IndexStore& store, QObject* parent = nullptr);
    ~ProviderSearch() override;

    // `done` gets the hits, best first, with their ids remembered, later on this object's
    // thread.
    void find(const QStringList& terms, std::function<void(std::vector<Hit>)> done);

    // The hit handed out under `id` in this session, or nullptr.
    const Hit* handedOut(const QString& id) const;

    // The theme icon name of an item's type by its name, for launchers that draw our results.
    static QString iconName(const QString& name, bool isDirectory);

    IndexStore& store() { return store_; }

private:
    void remember(std::vector<Hit>& hits);

    IndexStore& store_;
    QThreadPool pool_;
    QHash<QString, Hit> handedOut_;
    std::deque<QString> order_; // oldest first
};

} // namespace vesko
