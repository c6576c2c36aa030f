// SPDX-License-Identifier: GPL-3.0-or-later
// The small icons of the result rows, loaded off the main thread and shared: one per
// extension (and one for folders), looked up by the desktop's MIME database and icon theme,
// with drawn ones by family of types where the theme has none.
#pragma once

#include "store/SearchRow.h"

#include <QCache>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

namespace vesko {

class StoreTasks;

class IconCache : public QObject {
    Q_OBJECT

public:
    // The types are looked up on `tasks`' pool, the icons made on this object's thread.
    explicit IconCache(StoreTasks& tasks, QObject* parent = nullptr);

    // The loaded icon of the row, or a null icon while it is not loaded yet.
    QIcon icon(const SearchRow& row) const;
    // Starts loading the row's icon unless it is loaded or on its way.
    void request(const SearchRow& row);
    // The desktop's cached thumbnail of the row's file as it is now: nothing while it is not
    // looked up yet, a null icon when the desktop has none.
    std::optional<QIcon> thumbnail(const SearchRow& row) const;
    void requestThumbnail(const SearchRow& row);
    void clear();

    // The lower-cased text after the last dot, when that dot is not the name's first
    // character; empty otherwise, so ".bashrc" and "README" share one icon.
    static QString extension(const std::string& name);
    // How many loads were started since construction; several rows of one key cost one.
    qint64 loadsStarted() const { return loadsStarted_; }

signals:
    // Icons arrived: rows on screen should be painted again.
    void iconsChanged();

private:
    struct Names {
        QString icon;
        QString generic;
    };
    void arrived(const QString& key, const Names& names, quint64 epoch);
    void thumbnailArrived(const QByteArray& key, const QImage& image, quint64 epoch);
    void announce();

    QIcon folderIcon_;
    QHash<QString, QIcon> byExtension_;
    QSet<QString> inFlight_;
    // By stored path and modification time; a few screenfuls, the rest are read again.
    QCache<QByteArray, QIcon> thumbnails_{2000};
    QSet<QByteArray> thumbnailsInFlight_;
    qint64 loadsStarted_ = 0;
    // Loads started before a clear() belong to the old theme or language and are dropped.
    quint64 epoch_ = 0;
    bool announcing_ = false;
    StoreTasks& tasks_;
    // Loads that finish after the cache is gone find it expired.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
};

} // namespace vesko
