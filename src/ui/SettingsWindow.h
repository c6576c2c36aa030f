// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window: a list of sections on the left, the chosen page on the right. The
// chosen section is remembered, so the window reopens where the user left it.
#pragma once

#include <QWidget>

#include <vector>

class QListWidget;
class QStackedWidget;

namespace vesko {

class IndexLifecycle;
class SearchSession;
class Preferences;
class Localization;
class GeneralPage;
class SettingsPage;

class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow(IndexLifecycle& lifecycle, SearchSession& session, Preferences& preferences,
                   Localization& localization, QWidget* parent = nullptr);

    // Shows the page stored under "settingsSection" and brings the window to the front.
    void present();
    // Selects a section by its stored name ("general", ..., "index") and remembers it.
    void showSection(const QString& section);

    // The stored names of the sections, in list order.
    static const std::vector<QString>& sections();

    // The shell's problems with the tray icon and the global hot key, shown on the
    // general page; empty while there is none.
    void setTrayProblem(const QString& problem);
    void setHotKeyProblem(const QString& problem);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void centreOverParent();
    void syncPages();
    void retranslate();

    IndexLifecycle& lifecycle_;
    SearchSession& session_;
    Preferences& preferences_;
    Localization& localization_;
    QListWidget* list_;
    QStackedWidget* pages_;
    GeneralPage* general_;
};

} // namespace vesko
