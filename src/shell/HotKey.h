// SPDX-License-Identifier: GPL-3.0-or-later
// One system-wide shortcut that shows or hides the window from any application: a key grab
// on the X11 root window, or the desktop portal's global shortcuts on Wayland.
#pragma once

#include "store/Preferences.h"

#include <QObject>
#include <QString>

#include <memory>

namespace vesko {

class PortalShortcut;
class X11KeyGrab;

class HotKey : public QObject {
    Q_OBJECT

public:
    explicit HotKey(const HotKeySetting& setting, QObject* parent = nullptr);
    // Releasing the object releases the shortcut.
    ~HotKey() override;

    // Starts registering. False when it failed at once (`problem` says why); the portal
    // may still fail later, through `failed`.
    bool registerKey();
    QString problem() const { return problem_; }

signals:
    // The shortcut was pressed; always delivered on the main thread.
    void activated();
    void failed(const QString& problem);

private:
    bool registerX11();
    bool registerPortal();
    // What to do where Vesko cannot register the shortcut itself.
    QString noServiceAdvice() const;

    HotKeySetting setting_;
    QString problem_;
    std::unique_ptr<X11KeyGrab> grab_;
    std::unique_ptr<PortalShortcut> portal_;
};

} // namespace vesko
