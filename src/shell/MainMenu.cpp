// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MainMenu.h"

#include "shell/AppDelegate.h"
#include "store/FileActionCenter.h"
#include "store/IndexLifecycle.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "ui/MainView.h"
#include "ui/ResultActions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace vesko {
namespace {

const QString product = QStringLiteral("Vesko");

} // namespace

MainMenu::MainMenu(QMainWindow& window, AppDelegate& app, IndexLifecycle& lifecycle,
                   SearchSession& session, FileActionCenter& fileActions, Preferences& preferences)
    : QObject(&window), window_(window), app_(app), lifecycle_(lifecycle), session_(session),
      fileActions_(fileActions), preferences_(preferences) {
    connect(&session_, &SearchSession::selectionChanged, this, &MainMenu::refresh);
    connect(&session_, &SearchSession::rowsChanged, this, &MainMenu::refresh);
    connect(&session_, &SearchSession::queryChanged, this, &MainMenu::refresh);
    connect(&session_, &SearchSession::sortChanged, this, &MainMenu::refresh);
    connect(&preferences_, &Preferences::changed, this, &MainMenu::refresh);
    connect(&fileActions_, &FileActionCenter::savedSearchesChanged, this,
            &MainMenu::scheduleSearches);
}

void MainMenu::install() {
    validated_.clear();
    checks_.clear();
    auto* bar = new QMenuBar(&window_);
    buildFile(bar->addMenu(tr("File")));
    buildEdit(bar->addMenu(tr("Edit")));
    buildView(bar->addMenu(tr("View")));
    searches_ = bar->addMenu(tr("Searches"));
    buildSearches();
    buildWindow(bar->addMenu(tr("Window")));
    buildHelp(bar->addMenu(tr("Help")));
    // Replacing the bar deletes the old one; a language switch never runs from a menu.
    window_.setMenuBar(bar);
    refresh();
}

void MainMenu::refresh() {
    const bool rows = session_.rowCount() > 0;
    const bool query = !session_.query().isEmpty();
    for (const auto& [action, needs] : validated_) {
        if (!action) continue;
        action->setEnabled(needs == Needs::nothing || (needs == Needs::rows && rows) ||
                           (needs == Needs::query && query));
    }
    for (const auto& [action, checked] : checks_)
        if (action) action->setChecked(checked());
}

QAction* MainMenu::add(QMenu* menu, const char* command, const QString& title, Needs needs,
                       const QKeySequence& key, std::function<void()> run) {
    QAction* action = menu->addAction(title);
    action->setObjectName(QString::fromLatin1(command));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    if (needs != Needs::nothing) validated_.emplace_back(action, needs);
    return action;
}

QAction* MainMenu::addCheck(QMenu* menu, const char* command, const QString& title,
                            std::function<bool()> checked, std::function<void()> run) {
    QAction* action = add(menu, command, title, Needs::nothing, {}, std::move(run));
    action->setCheckable(true);
    checks_.emplace_back(action, std::move(checked));
    return action;
}

// The result commands are the search screen's own actions, shared with its list, its
// context menu and its key hints; the menu only shows them.
ResultActions* MainMenu::resultActions() const {
    auto* view = qobject_cast<MainView*>(window_.centralWidget());
    return view ? &view->actions() : nullptr;
}

void MainMenu::addShared(QMenu* menu,
                         std::initializer_list<std::optional<ResultActions::Command>> commands) {
    ResultActions* actions = resultActions();
    for (const auto& command : commands) {
        if (!command)
            menu->addSeparator();
        else if (actions)
            menu->addAction(actions->action(*command));
    }
}

void MainMenu::buildFile(QMenu* menu) {
    using C = ResultActions::Command;
    addShared(menu,
              {C::open, C::reveal, C::copyPath, {}, C::rename, C::trash, {}, C::exportResults, {}});
    add(menu, "closeWindow", tr("Close"), Needs::nothing, QKeySequence(QStringLiteral("Ctrl+W")),
        [this] { app_.hideApp(); });
    menu->addSeparator();
    addShared(menu, {C::preview, {}});
    add(menu, "quit", tr("Quit %1").arg(product), Needs::nothing,
        QKeySequence(QStringLiteral("Ctrl+Q")), [this] { app_.quit(); });
}

void MainMenu::buildEdit(QMenu* menu) {
    using C = ResultActions::Command;
    addShared(menu, {C::undo, C::redo, {}, C::cut, C::copy, C::paste, C::selectAll, {}});
    add(menu, "openSettings", tr("Settings…"), Needs::nothing,
        QKeySequence(QStringLiteral("Ctrl+,")), [this] { app_.openSettings(); });
    add(menu, "openExclusions", tr("Excluded Folders…"), Needs::nothing, {},
        [this] { app_.openExclusions(); });
}

void MainMenu::buildView(QMenu* menu) {
    Preferences& p = preferences_;
    addCheck(
        menu, "toggleFullPathColumn", tr("Full Path"), [&p] { return p.showFullPath(); },
        [&p] { p.setShowFullPath(!p.showFullPath()); });
    addCheck(
        menu, "toggleKindColumn", tr("Kind"), [&p] { return p.showKind(); },
        [&p] { p.setShowKind(!p.showKind()); });
    addCheck(
        menu, "toggleSizeColumn", tr("Size"), [&p] { return p.showSize(); },
        [&p] { p.setShowSize(!p.showSize()); });
    addCheck(
        menu, "toggleModifiedColumn", tr("Modified"), [&p] { return p.showModified(); },
        [&p] { p.setShowModified(!p.showModified()); });
    // Turning relative dates off goes back to the default style; Settings offers the others.
    addCheck(
        menu, "toggleRelativeDates", tr("Relative Dates"),
        [&p] { return p.dateStyle() == DateStyle::relative; },
        [&p] {
            p.setDateStyle(p.dateStyle() == DateStyle::relative ? DateStyle::dateOnly
                                                                : DateStyle::relative);
        });
    addCheck(
        menu, "toggleThumbnails", tr("Thumbnails"), [&p] { return p.showThumbnails(); },
        [&p] { p.setShowThumbnails(!p.showThumbnails()); });
    addCheck(
        menu, "toggleSidebar", tr("Show Sidebar"), [&p] { return p.showSidebar(); },
        [&p] { p.setShowSidebar(!p.showSidebar()); })
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    menu->addSeparator();
    using Field = ResultSort::Field;
    SearchSession& s = session_;
    // One sort at a time: the items show as a radio group.
    auto* group = new QActionGroup(menu);
    group->addAction(addCheck(
        menu, "sortByRelevance", tr("Sort by Relevance"),
        [&s] { return s.sort().field == Field::relevance; },
        [&s] {
            s.setSort(ResultSort{Field::relevance, true});
        }));
    const std::pair<const char*, Field> sorts[] = {{"sortByName", Field::name},
                                                   {"sortByPath", Field::path},
                                                   {"sortBySize", Field::size},
                                                   {"sortByModified", Field::modified}};
    const QString titles[] = {tr("Sort by Name"), tr("Sort by Path"), tr("Sort by Size"),
                              tr("Sort by Modified")};
    for (std::size_t i = 0; i < std::size(sorts); ++i) {
        const Field field = sorts[i].second;
        group->addAction(addCheck(
            menu, sorts[i].first, titles[i], [&s, field] { return s.sort().field == field; },
            [&s, field] { s.toggleSort(field); }));
    }
    menu->addSeparator();
    add(menu, "focusResults", tr("Move Focus to Results"), Needs::rows, {},
        [this] { app_.focusList(); });
    add(menu, "focusSearchField", tr("Move Focus to Search Field"), Needs::nothing,
        QKeySequence(QStringLiteral("Ctrl+F")), [this] { app_.focusSearch(); });
}

void MainMenu::buildSearches() {
    searchesScheduled_ = false;
    if (!searches_) return;
    searches_->clear();
    std::erase_if(validated_, [](const auto& entry) { return entry.first.isNull(); });
    add(searches_, "saveCurrentSearch", tr("Save Current Search…"), Needs::query,
        QKeySequence(QStringLiteral("Ctrl+S")), [this] { app_.saveCurrentSearch(); });
    searches_->addSeparator();
    const auto& saved = fileActions_.savedSearches();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const int index = static_cast<int>(i);
        // Only the first nine get a key: Ctrl+1 … Ctrl+9.
        const QKeySequence key =
            i < 9 ? QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + index))
                  : QKeySequence();
        add(searches_, "applySavedSearch",
            QString(saved[i].name).replace(QStringLiteral("&"), QStringLiteral("&&")),
            Needs::nothing, key, [this, index] { app_.applySavedSearch(index); });
    }
}

void MainMenu::scheduleSearches() {
    if (searchesScheduled_) return;
    searchesScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            buildSearches();
            refresh();
        },
        Qt::QueuedConnection);
}

void MainMenu::buildWindow(QMenu* menu) {
    add(menu, "minimize", tr("Minimize"), Needs::nothing, QKeySequence(QStringLiteral("Ctrl+M")),
        [this] { window_.showMinimized(); });
    add(menu, "zoom", tr("Zoom"), Needs::nothing, {},
        [this] { window_.isMaximized() ? window_.showNormal() : window_.showMaximized(); });
    menu->addSeparator();
    // The index stays searchable while the new one is built.
    add(menu, "rescan", tr("Rescan"), Needs::nothing, QKeySequence(QStringLiteral("Ctrl+R")),
        [this] { lifecycle_.rescan(); });
}

void MainMenu::buildHelp(QMenu* menu) {
    add(menu, "showAbout", tr("About %1").arg(product), Needs::nothing, {},
        [this] { app_.showAbout(); });
    add(menu, "checkForUpdates", tr("Check for Updates…"), Needs::nothing, {},
        [this] { app_.checkForUpdates(); });
}

} // namespace vesko
