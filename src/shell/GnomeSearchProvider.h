// SPDX-License-Identifier: MIT
// org.gnome.Shell.SearchProvider2: the overview sends what is typed, shows our best hits
// with their names, folders and type icons, and opens the one chosen. A result's id is its
// full path. Searches answer later (delayed replies), so the window's thread only starts
// them.
#pragma once

#include "shell/ProviderSearch.h"

#include <QDBusContext>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace vesko {

class GnomeSearchProvider : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")

public:
    GnomeSearchProvider(ProviderSearch& search, std::function<void(const QString&)> showSearch,
                        QObject* parent = nullptr);

public slots:
    QStringList GetInitialResultSet(const QStringList& terms);
    QStringList GetSubsearchResultSet(const QStringList& previousResults, const QStringList& terms);
    QList<QVariantMap> GetResultMetas(const QStringList& identifiers);
    void ActivateResult(const QString& identifier, const QStringList& terms, uint timestamp);
    void LaunchSearch(const QStringList& terms, uint timestamp);

private:
    void answerLater(const QStringList& terms);

    ProviderSearch& search_;
    std::function<void(const QString&)> showSearch_;
    // The latest hits, so their metas need no look at the disk.
    QHash<QString, ProviderSearch::Hit> shown_;
};

} // namespace vesko
