// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop portal's global shortcuts (Wayland, where applications cannot grab keys): a
// portal session with one shortcut, "toggle-window", that the desktop lets the user confirm.
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace vesko {

class PortalShortcut : public QObject {
    Q_OBJECT

public:
    explicit PortalShortcut(const QDBusConnection& bus, QObject* parent = nullptr);
    // Closes the portal session, which releases the shortcut.
    ~PortalShortcut() override;

    // Asks for the shortcut, preferably on `trigger` (the portal's syntax, "CTRL+F7").
    // False when there is no session bus; every later failure arrives as `unavailable`.
    // Never waits for the bus: each step is an asynchronous call with a time limit.
    bool start(const QString& trigger, const QString& description);

    // The portal's name of a key and modifier mask, for example "CTRL+SHIFT+space".
    static QString trigger(int key, int modifiers);

signals:
    void activated();
    // No portal, one too old, or the user declined the shortcut.
    void unavailable();

private slots:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& shortcut, qulonglong timestamp,
                     const QVariantMap& options);

private:
    enum class Stage { idle, version, session, binding, bound };

    void checkVersion();
    void createSession();
    void bindShortcut();
    void awaitResponse(const QString& token, int milliseconds);
    void fail();
    QString requestPath(const QString& token) const;

    QDBusConnection bus_;
    Stage stage_ = Stage::idle;
    QString trigger_;
    QString description_;
    QString requestPath_;
    QString sessionPath_;
    QTimer timeout_;
};

} // namespace vesko
