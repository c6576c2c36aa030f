// SPDX-License-Identifier: GPL-3.0-or-later
// org.gnome.Shell.SearchProvider2: the overview sends what is typed, shows our best hits
// with their names, folders and type icons, and opens the one chosen. Ids are
// ProviderSearch's; one never handed out is neither described nor opened. Searches answer
// later (delayed replies), and a request for metas is answered for its first `maximumMetas`
// ids from memory, without a look at the disk, on the launchers' thread.
#pragma once

#include "store/ProviderSearch.h"

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace vesko {

class GnomeSearchProvider : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")

public:
    // The overview shows a handful of results; no honest caller asks for more at once.
    static constexpr qsizetype maximumMetas = 100;

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
    // Replies to the call being handled once `act` has run on the window's thread.
    void replyAfter(const std::function<void(std::function<void()>)>& act);

    ProviderSearch& search_;
    std::function<void(const QString&)> showSearch_;
};

} // namespace vesko
