// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SearchProviders.h"

#include "shell/GnomeSearchProvider.h"
#include "shell/KRunnerProvider.h"

#include <QDBusMessage>
#include <QDBusMetaType>

#include <unistd.h>

namespace vesko {

SearchProviders::SearchProviders(QueryService service,
                                 std::function<void(const QString&)> showSearch)
    : search_(service),
      gnome_(std::make_unique<GnomeSearchProvider>(search_, std::move(showSearch))),
      krunner_(std::make_unique<KRunnerProvider>(search_)) {
    thread_.setObjectName(QStringLiteral("launchers"));
    search_.moveToThread(&thread_);
    gnome_->moveToThread(&thread_);
    krunner_->moveToThread(&thread_);
    thread_.start();
}

// The objects are destroyed here, on this thread, once theirs has stopped.
SearchProviders::~SearchProviders() {
    thread_.quit();
    thread_.wait();
}

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

// Asked with a message of its own rather than through the connection's interface object,
// which belongs to the thread that made the connection.
bool SearchProviders::callerIsUs(const QDBusContext& call) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixUser"));
    ask << call.message().service();
    const QDBusMessage answer = call.connection().call(ask);
    return answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
           answer.arguments().front().toUInt() == ::getuid();
}

} // namespace vesko
