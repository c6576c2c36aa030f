// SPDX-License-Identifier: GPL-3.0-or-later
// The running application: it owns the store and the windows, answers the menu commands,
// keeps the tray icon and the global hot key, and saves the index when the session ends.
// Vesko stays resident: closing the main window only hides it, so the index stays loaded.
#pragma once

#include "store/IndexStore.h"
#include "store/Localization.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QMainWindow;
class QMenu;
class QSystemTrayIcon;

namespace vesko {

class HotKey;
class MainMenu;
class MainView;
class PreviewWindow;
class SettingsWindow;

class AppDelegate : public QObject {
    Q_OBJECT

public:
    struct Options {
        StoreEnvironment environment;
        bool startHidden = false; // the autostart entry's --hidden
        // Set into the search field and the content filter when the window is first shown.
        std::optional<QString> initialQuery;
        std::optional<QString> initialContents;
        // --search-in: the folder the searches are limited to (absolute, stored bytes).
        std::optional<std::string> initialScope;
    };

    explicit AppDelegate(Options options, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The one delegate of this process, while it exists.
    static AppDelegate* shared();

    // Applies the appearance, shows the tray icon and registers the hot key, makes the main
    // window (shown unless started hidden) and starts the store.
    void launch();

    IndexStore& store() { return *store_; }
    Localization& localization() { return *localization_; }
    // Made on first use, reused afterwards.
    QMainWindow& mainWindow();
    bool hasMainWindow() const { return mainWindow_ != nullptr; }
    // Why the tray icon cannot be shown on this desktop; empty when it can. The settings
    // page shows it beside the tray option.
    QString trayProblem() const { return trayProblem_; }
    // Why the global hot key is not registered; empty while it is.
    QString hotKeyProblem() const { return hotKeyProblem_; }
    // The main window's search field, or its result list, takes the keyboard.
    void focusSearch();
    void focusList();

    // Window life.
    void show();
    void hideApp();
    void toggleWindow();
    void setMenuBarIcon(bool shown);
    // A later start asked for the window (see SingleInstance).
    void showRequested(const QByteArray& activationToken);
    // A later start asked to search in a folder (absolute, its bytes).
    void searchInRequested(const QByteArray& folder, const QByteArray& activationToken);

    // Menu commands that need more than one store call.
    void openSettings();
    void openExclusions();
    void showAbout();
    void checkForUpdates();
    void saveCurrentSearch();
    void applySavedSearch(int index);
    void quit();
    // After a language switch: menus, titles and the store's texts in the new language.
    void languageChanged();

    // The termination save after the event loop ended: false when it overran and the
    // process should leave at once.
    bool saveBeforeExit();

signals:
    void focusRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeWindow();
    void registerHotKey(const HotKeySetting& setting);
    void applyInitialSearch();
    void setTrayProblem(const QString& problem);
    void setHotKeyProblem(const QString& problem);

    Options options_;
    std::unique_ptr<IndexStore> store_;
    std::unique_ptr<Localization> localization_;
    std::unique_ptr<PreviewWindow> preview_;
    std::unique_ptr<HotKey> hotKey_;
    std::unique_ptr<QMainWindow> mainWindow_;
    std::unique_ptr<MainMenu> menu_;
    std::unique_ptr<SettingsWindow> settingsWindow_;
    std::unique_ptr<QSystemTrayIcon> trayIcon_;
    std::unique_ptr<QMenu> trayMenu_;
    bool initialSearchApplied_ = false;
    QString trayProblem_;
    QString hotKeyProblem_;
    MainView* mainView_ = nullptr;
    bool showing_ = false; // show() restores a minimized window and asks for focus itself
};

} // namespace vesko
