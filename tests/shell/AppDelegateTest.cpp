// SPDX-License-Identifier: GPL-3.0-or-later
// The delegate over a store of a small private tree, on the run's X server: which menu
// commands are enabled, the Searches menu's keys, and how the window hides and comes back
// (the keys themselves, pressed as a person does, are the session test's).
#include "shell/AppDelegate.h"
#include "ShellTestSupport.h"

#include "support/TempTree.h"

#include <QAction>
#include <QMainWindow>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace vesko {
namespace {

constexpr int patience = 30'000;

class ShellDelegate : public ::testing::Test {
protected:
    void SetUp() override {
        tree.file("alpha.txt", "a");
        tree.file("beta.txt", "b");
        tree.dir("gamma");
        AppDelegate::Options options;
        options.environment = test::privateEnvironment(tree.root(), state);
        options.startHidden = true;
        app = std::make_unique<AppDelegate>(std::move(options));
        app->launch();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return app->store().lifecycle().phase() == IndexLifecycle::Phase::ready; },
            patience));
    }

    IndexStore& store() { return app->store(); }
    QAction* action(const char* command) {
        auto* found = app->mainWindow().findChild<QAction*>(QString::fromLatin1(command));
        EXPECT_NE(found, nullptr) << command;
        return found;
    }
    // An empty query clears the rows at once; any other publishes them later.
    void search(const QString& query) {
        QSignalSpy published(&store().session(), &SearchSession::rowsChanged);
        store().session().setQuery(query);
        if (!query.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return published.count() > 0; }, patience));
        }
        QCoreApplication::processEvents();
    }

    test::TempTree tree;
    test::TempTree state;
    std::unique_ptr<AppDelegate> app;
};

TEST_F(ShellDelegate, CommandsAreEnabledOnlyWithWhatTheyActOn) {
    struct Case {
        QString query;
        bool selection, rows;
    };
    const Case cases[] = {{"", false, false}, {"alpha", true, true}, {"nomatch-xyz", false, false}};
    const char* const onSelection[] = {"openSelectedFile",  "revealSelectedFile",
                                       "copySelectedPath",  "renameSelectedFile",
                                       "trashSelectedFile", "toggleQuickLook"};
    for (const auto& c : cases) {
        search(c.query);
        SCOPED_TRACE(c.query.toStdString());
        for (const char* command : onSelection)
            EXPECT_EQ(action(command)->isEnabled(), c.selection) << command;
        EXPECT_EQ(action("exportResults")->isEnabled(), c.rows);
        EXPECT_EQ(action("focusResults")->isEnabled(), c.rows);
        EXPECT_EQ(action("saveCurrentSearch")->isEnabled(), !c.query.isEmpty());
        EXPECT_TRUE(action("rescan")->isEnabled());
        EXPECT_TRUE(action("openSettings")->isEnabled());
    }
}

TEST_F(ShellDelegate, SavedSearchesGetTheFirstNineDigitKeys) {
    search("alpha");
    for (int i = 1; i <= 10; ++i)
        store().actions().saveCurrentSearch(QStringLiteral("search %1").arg(i));
    QList<QAction*> saved;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            saved = app->mainWindow().findChildren<QAction*>(QStringLiteral("applySavedSearch"));
            return saved.size() == 10;
        },
        patience));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(saved[i]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
    EXPECT_TRUE(saved[9]->shortcut().isEmpty());
    EXPECT_EQ(saved[9]->text(), QStringLiteral("search 10"));
}

TEST_F(ShellDelegate, ClosingHidesAndShowingAgainFocusesTheSearch) {
    QMainWindow& window = app->mainWindow();
    struct Case {
        bool hideFromTaskbar;
        bool restoreFromTaskbar; // else the hot key's toggle
    };
    for (const auto [hideFromTaskbar, restoreFromTaskbar] :
         {Case{false, false}, Case{false, true}, Case{true, false}}) {
        SCOPED_TRACE(::testing::Message() << hideFromTaskbar << restoreFromTaskbar);
        store().preferences().setHideFromDock(hideFromTaskbar);
        // Hiding from the taskbar asks for the tray icon; a desktop without a tray says so.
        if (hideFromTaskbar && !QSystemTrayIcon::isSystemTrayAvailable()) {
            EXPECT_FALSE(app->trayProblem().isEmpty());
        }
        QSignalSpy focus(app.get(), &AppDelegate::focusRequested);
        app->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(focus.count(), 1);
        window.close();
        // The window is kept: hidden from the taskbar, or else only minimized.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return hideFromTaskbar ? !window.isVisible() : window.isMinimized(); },
            patience));
        if (restoreFromTaskbar)
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        else
            app->toggleWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_FALSE(window.isMinimized());
        EXPECT_EQ(focus.count(), 2);
    }
}

TEST_F(ShellDelegate, RescanKeepsTheIndexSearchable) {
    search("alpha");
    action("rescan")->trigger();
    EXPECT_EQ(store().lifecycle().phase(), IndexLifecycle::Phase::ready);
    EXPECT_TRUE(store().lifecycle().isRefreshing());
    EXPECT_EQ(store().session().rowCount(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store().lifecycle().isRefreshing(); }, patience));
}

} // namespace
} // namespace vesko
