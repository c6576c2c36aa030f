// SPDX-License-Identifier: MIT
#include "shell/SearchProviders.h"

#include "shell/GnomeSearchProvider.h"
#include "shell/KRunnerProvider.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>

#include <unistd.h>

namespace vesko {

SearchProviders::SearchProviders(IndexStore& store, std::function<void(const QString&)> showSearch)
    : search_(store), gnome_(std::make_unique<GnomeSearchProvider>(search_, std::move(showSearch))),
      krunner_(std::make_unique<KRunnerProvider>(search_)) {}

SearchProviders::~SearchProviders() = default;

bool SearchProviders::publish(QDBusConnection bus) {
    if (!bus.isConnected()) {
        problem_ = QStringLiteral("no session bus");
        return false;
    }
    // Slots whose types are unknown to the bus are silently left out of the interface.
    qDBusRegisterMetaType<QList<QVariantMap>>();
    KRunnerProvider::registerTypes();
    const auto exported = QDBusConnection::ExportAllSlots;
    if (!bus.registerObject(gnomePath, gnome_.get(), exported) ||
        !bus.registerObject(krunnerPath, krunner_.get(), exported)) {
        problem_ = QStringLiteral("the search objects could not be exported");
        return false;
    }
    if (!bus.registerService(busName)) {
        // A name another connection owns is refused without an error of the bus's.
        problem_ =
            bus.lastError().isValid()
                ? bus.lastError().message()
                : QStringLiteral("%1 belongs to another program").arg(QLatin1String(busName));
        return false;
    }
    return true;
}

bool SearchProviders::callerIsUs(const QDBusContext& call) {
    const QDBusConnectionInterface* daemon = call.connection().interface();
    if (!daemon) return false;
    const auto uid = daemon->serviceUid(call.message().service());
    return uid.isValid() && uid.value() == ::getuid();
}

} // namespace vesko
