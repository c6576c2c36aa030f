// SPDX-License-Identifier: MIT
#include "ui/SettingsWindow.h"

namespace vesko {

SettingsWindow::SettingsWindow(IndexStore& store, Localization& localization, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), localization_(localization) {
    setWindowTitle(tr("Settings"));
}

void SettingsWindow::present() {
    setWindowTitle(tr("Settings"));
    show();
    raise();
    activateWindow();
}

} // namespace vesko
