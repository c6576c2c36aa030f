// SPDX-License-Identifier: MIT
// One system-wide shortcut that shows or hides the window from any application: a key grab
// on the X11 root window, or the desktop portal's global shortcuts on Wayland.
#pragma once

#include "store/Preferences.h"

#include <QObject>
#include <QString>

namespace vesko {

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
    HotKeySetting setting_;
    QString problem_;
};

} // namespace vesko
