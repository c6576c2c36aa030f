// SPDX-License-Identifier: MIT
// The search behind the desktop's launchers (GNOME's overview, KRunner): the best few hits
// by relevance for what the user typed there, found on a worker thread over a copy of the
// window's index, so a launcher typing fast never stalls the window. While the index is
// building, or for a query too long or not text, the answer is empty at once: a launcher
// shows other results rather than wait for ours.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <vector>

namespace vesko {

class IndexStore;

class ProviderSearch : public QObject {
    Q_OBJECT

public:
    struct Hit {
        QString path;
        QString name;
        QString folder;
        bool isDirectory = false;
    };
    static constexpr int maximumHits = 20;

    explicit ProviderSearch(IndexStore& store, QObject* parent = nullptr);
    ~ProviderSearch() override;

    // `done` gets the hits, best first, later on this object's thread.
    void find(const QStringList& terms, std::function<void(std::vector<Hit>)> done);

    // The theme icon name of an item's type, for launchers that draw our results.
    static QString iconName(const QString& path, bool isDirectory);
    static Hit describe(const QString& path);

    IndexStore& store() { return store_; }

private:
    IndexStore& store_;
    QThreadPool pool_;
};

} // namespace vesko
