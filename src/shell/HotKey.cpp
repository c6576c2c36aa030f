// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HotKey.h"

#include "shell/PortalShortcut.h"
#include "shell/X11KeyGrab.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace vesko {

HotKey::HotKey(const HotKeySetting& setting, QObject* parent)
    : QObject(parent), setting_(setting) {}

HotKey::~HotKey() = default;

bool HotKey::registerKey() {
    grab_.reset();
    portal_.reset();
    problem_.clear();
    const QString platform = QGuiApplication::platformName();
    if (platform == "xcb") return registerX11();
    if (platform.startsWith("wayland")) return registerPortal();
    problem_ = noServiceAdvice();
    return false;
}

bool HotKey::registerX11() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) {
        problem_ = noServiceAdvice();
        return false;
    }
    grab_ = std::make_unique<X11KeyGrab>(x11->connection(), [this] { emit activated(); });
    switch (grab_->grab(setting_.keyCode, setting_.modifiers)) {
    case X11KeyGrab::Result::grabbed:
        return true;
    case X11KeyGrab::Result::heldByAnother:
        problem_ = tr("%1 is already in use by another app.").arg(setting_.description());
        break;
    case X11KeyGrab::Result::notOnKeyboard:
        problem_ = tr("%1 cannot be typed on this keyboard.").arg(setting_.description());
        break;
    }
    grab_.reset();
    return false;
}

bool HotKey::registerPortal() {
    portal_ = std::make_unique<PortalShortcut>(QDBusConnection::sessionBus());
    connect(portal_.get(), &PortalShortcut::activated, this, &HotKey::activated);
    connect(portal_.get(), &PortalShortcut::unavailable, this, [this] {
        problem_ = noServiceAdvice();
        emit failed(problem_);
    });
    const bool started =
        portal_->start(PortalShortcut::trigger(setting_.keyCode, setting_.modifiers),
                       tr("Show or hide the Vesko window"));
    if (started) return true;
    portal_.reset();
    problem_ = noServiceAdvice();
    return false;
}

QString HotKey::noServiceAdvice() const {
    return tr("The desktop does not offer global shortcuts to applications. Bind “vesko” to %1 "
              "in your desktop's keyboard settings: it shows the running window.")
        .arg(setting_.description());
}

} // namespace vesko
