// SPDX-License-Identifier: MIT
// The settings window: a list of sections on the left, the chosen page on the right.
#pragma once

#include <QWidget>

namespace vesko {

class IndexStore;
class Localization;

class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow(IndexStore& store, Localization& localization, QWidget* parent = nullptr);

    // Shows the page stored under "settingsSection" and brings the window to the front.
    void present();

private:
    IndexStore& store_;
    Localization& localization_;
};

} // namespace vesko
