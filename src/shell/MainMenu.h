// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's menu bar: File, Edit, View, Searches, Window and Help, with Ctrl
// shortcuts. Commands that act on the selection, the rows or the query are enabled only
// while there is one, so their shortcuts do nothing otherwise. Each action's object name is
// its command ("openSelectedFile", "saveCurrentSearch", …).
#pragma once

#include "ui/ResultActions.h"

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

namespace vesko {

class AppDelegate;
class FileActionCenter;
class IndexLifecycle;
class Preferences;
class SearchSession;

class MainMenu : public QObject {
    Q_OBJECT

public:
    MainMenu(QMainWindow& window, AppDelegate& app, IndexLifecycle& lifecycle,
             SearchSession& session, FileActionCenter& fileActions, Preferences& preferences);

    // Builds the whole menu bar anew, in the current language, and installs it.
    void install();
    // Check marks and enabled states from the store and the preferences.
    void refresh();

private:
    enum class Needs { nothing, rows, query };

    QAction* add(QMenu* menu, const char* command, const QString& title, Needs needs,
                 const QKeySequence& key, std::function<void()> run);
    QAction* addCheck(QMenu* menu, const char* command, const QString& title,
                      std::function<bool()> checked, std::function<void()> run);
    ResultActions* resultActions() const;
    // The shared actions of these commands; nothing stands for a separator.
    void addShared(QMenu* menu,
                   std::initializer_list<std::optional<ResultActions::Command>> commands);
    void buildFile(QMenu* menu);
    void buildEdit(QMenu* menu);
    void buildView(QMenu* menu);
    void buildSearches();
    void buildWindow(QMenu* menu);
    void buildHelp(QMenu* menu);
    // Rebuilt after the event that changed the list, never inside a menu's own handler.
    void scheduleSearches();

    QMainWindow& window_;
    AppDelegate& app_;
    IndexLifecycle& lifecycle_;
    SearchSession& session_;
    FileActionCenter& fileActions_;
    Preferences& preferences_;
    std::vector<std::pair<QPointer<QAction>, Needs>> validated_;
    std::vector<std::pair<QPointer<QAction>, std::function<bool()>>> checks_;
    QPointer<QMenu> searches_;
    bool searchesScheduled_ = false;
};

} // namespace vesko
