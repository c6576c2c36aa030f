// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PortalShortcut.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QKeySequence>
#include <QRandomGenerator>

namespace vesko {
namespace {

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("toggle-window");
constexpr int callLimit = 10'000;
// Binding may wait for the user to confirm the shortcut in a dialog of the desktop.
constexpr int confirmLimit = 120'000;

struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ShortcutEntry& entry) {
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ShortcutEntry& entry) {
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

QString newToken() {
    return QStringLiteral("vesko%1").arg(QRandomGenerator::global()->generate());
}

} // namespace
} // namespace vesko

Q_DECLARE_METATYPE(vesko::ShortcutEntry)

namespace vesko {

PortalShortcut::PortalShortcut(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, &PortalShortcut::fail);
}

PortalShortcut::~PortalShortcut() {
    if (sessionPath_.isEmpty()) return;
    bus_.asyncCall(QDBusMessage::createMethodCall(service, sessionPath_,
                                                  "org.freedesktop.portal.Session", "Close"));
}

bool PortalShortcut::start(const QString& trigger, const QString& description) {
    if (!bus_.isConnected()) return false;
    trigger_ = trigger;
    description_ = description;
    checkVersion();
    return true;
}

QString PortalShortcut::trigger(int key, int modifiers) {
    QString text;
    if (modifiers & 0x1000) text += "CTRL+";
    if (modifiers & 0x800) text += "ALT+";
    if (modifiers & 0x200) text += "SHIFT+";
    if (modifiers & 0x100) text += "LOGO+";
    // The portal takes X keysym names: small letters, "space", "F7".
    if (key == Qt::Key_Space) return text + "space";
    const QString name = QKeySequence(key).toString(QKeySequence::PortableText);
    return text + (key < 0x01000000 ? name.toLower() : name);
}

void PortalShortcut::checkVersion() {
    stage_ = Stage::version;
    QDBusMessage call = QDBusMessage::createMethodCall(service, desktopPath,
                                                       "org.freedesktop.DBus.Properties", "Get");
    call << shortcutsInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, callLimit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError() || reply.value().variant().toUInt() < 1) return fail();
        createSession();
    });
}

void PortalShortcut::createSession() {
    stage_ = Stage::session;
    const QString token = newToken();
    awaitResponse(token, callLimit);
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, desktopPath, shortcutsInterface, "CreateSession");
    call << QVariantMap{{"handle_token", token}, {"session_handle_token", newToken()}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, callLimit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) fail();
    });
}

void PortalShortcut::bindShortcut() {
    stage_ = Stage::binding;
    qDBusRegisterMetaType<ShortcutEntry>();
    qDBusRegisterMetaType<QList<ShortcutEntry>>();
    const QList<ShortcutEntry> shortcuts{
        {shortcutId, {{"description", description_}, {"preferred_trigger", trigger_}}}};
    const QString token = newToken();
    awaitResponse(token, confirmLimit);
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, desktopPath, shortcutsInterface, "BindShortcuts");
    call << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariant::fromValue(shortcuts)
         << QString() << QVariantMap{{"handle_token", token}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, callLimit), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) fail();
    });
}

void PortalShortcut::awaitResponse(const QString& token, int milliseconds) {
    // Subscribed before the call, so a quick answer cannot slip past.
    if (!requestPath_.isEmpty()) {
        bus_.disconnect(service, requestPath_, "org.freedesktop.portal.Request", "Response", this,
                        SLOT(onResponse(uint, QVariantMap)));
    }
    requestPath_ = requestPath(token);
    bus_.connect(service, requestPath_, "org.freedesktop.portal.Request", "Response", this,
                 SLOT(onResponse(uint, QVariantMap)));
    timeout_.start(milliseconds);
}

QString PortalShortcut::requestPath(const QString& token) const {
    QString sender = bus_.baseService().mid(1);
    sender.replace('.', '_');
    return desktopPath + "/request/" + sender + "/" + token;
}

void PortalShortcut::onResponse(uint response, const QVariantMap& results) {
    timeout_.stop();
    // 0 is success; 1 means the user declined, 2 any other end.
    if (response != 0) return fail();
    if (stage_ == Stage::session) {
        // Older portals hand the session over as an object path, newer ones as a string.
        const QVariant handle = results.value("session_handle");
        sessionPath_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                            : handle.toString();
        if (sessionPath_.isEmpty()) return fail();
        bus_.connect(service, desktopPath, shortcutsInterface, "Activated", this,
                     SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        bindShortcut();
    } else if (stage_ == Stage::binding) {
        stage_ = Stage::bound;
    }
}

void PortalShortcut::onActivated(const QDBusObjectPath& session, const QString& shortcut,
                                 qulonglong, const QVariantMap&) {
    if (session.path() == sessionPath_ && shortcut == shortcutId) emit activated();
}

void PortalShortcut::fail() {
    if (stage_ == Stage::idle) return;
    stage_ = Stage::idle;
    timeout_.stop();
    emit unavailable();
}

} // namespace vesko
