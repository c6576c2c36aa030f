// SPDX-License-Identifier: GPL-3.0-or-later
// Vesko's answers to the desktop's launchers on the session bus, under the name
// app.vesko.Vesko: GNOME Shell's overview (GnomeSearchProvider) and KDE's KRunner
// (KRunnerProvider), both over one ProviderSearch of the window's index. The three live on
// a thread of their own, where the bus delivers the launchers' calls: a call with a flood
// of arguments is unpacked and answered there, while the window goes on drawing.
#pragma once

#include "store/ProviderSearch.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace vesko {

class GnomeSearchProvider;
class KRunnerProvider;

class SearchProviders {
public:
    static constexpr const char* busName = "app.vesko.Vesko";
    static constexpr const char* gnomePath = "/app/vesko/Vesko/SearchProvider";
    static constexpr const char* krunnerPath = "/runner";

    // `showSearch` brings the window forward with the text typed in the launcher.
    SearchProviders(QueryService service, std::function<void(const QString&)> showSearch);
    ~SearchProviders();

    // Exports both objects and takes the bus name. False when the bus cannot be reached or
    // the name is taken; the window works on without them.
    bool publish(QDBusConnection bus);
    QString problem() const { return problem_; }

    // Whether the caller of the call being handled runs as this user. The session bus
    // normally keeps other users out; a bus that lets them in does not get our file names.
    static bool callerIsUs(const QDBusContext& call);

private:
    QThread thread_;
    ProviderSearch search_;
    std::unique_ptr<GnomeSearchProvider> gnome_;
    std::unique_ptr<KRunnerProvider> krunner_;
    QString problem_;
};

} // namespace vesko
