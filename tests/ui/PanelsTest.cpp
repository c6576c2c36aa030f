// SPDX-License-Identifier: GPL-3.0-or-later
// The sidebar, the settings window and their list editors, driven through their controls
// over a store with private preferences.
#include "store/Localization.h"
#include "store/StoreFixture.h"
#include "support/ScopedEnv.h"
#include "ui/CollapsibleSection.h"
#include "ui/ExclusionsView.h"
#include "ui/LocationsView.h"
#include "ui/QuickFilterBar.h"
#include "ui/SavedSearchesView.h"
#include "ui/SettingsWindow.h"
#include "ui/SidebarView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWindow>

#include <functional>

namespace vesko {
namespace {

template <typename T> T* child(QWidget& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

// Rows replaced by a click are deleted once the click has returned.
void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PanelsTest : public test::StoreFixture {};

TEST_F(PanelsTest, ControlsCountActiveFiltersAndClearResetsThem) {
    auto store = makeStore();
    SidebarView sidebar(store->lifecycle(), store->session(), store->actions(), store->settings());
    auto* active = child<QLabel>(sidebar, "activeFilters");
    EXPECT_EQ(active->text(), "");

    child<QCheckBox>(sidebar, "useRegex")->click();
    child<QCheckBox>(sidebar, "matchDiacritics")->click();
    child<QCheckBox>(sidebar, "showInvisible")->click();
    child<QLineEdit>(sidebar, "extensions")->setText("pdf jpg");
    auto* range = child<QComboBox>(sidebar, "dateRange");
    range->setCurrentIndex(1);
    emit range->activated(1);
    auto* dateField = child<QComboBox>(sidebar, "dateField");
    dateField->setCurrentIndex(2);
    emit dateField->activated(2);

    const Filters& f = store->session().filters();
    EXPECT_TRUE(f.useRegex);
    EXPECT_TRUE(f.matchDiacritics);
    EXPECT_FALSE(f.showInvisible);
    EXPECT_EQ(f.extensions, "pdf jpg");
    EXPECT_EQ(f.modified, Filters::DateRange::today);
    EXPECT_EQ(f.dateField, Filters::DateField::accessed);
    EXPECT_EQ(active->text(), "5 active"); // the date field alone never counts

    child<QPushButton>(sidebar, "clearFilters")->click();
    EXPECT_TRUE(store->session().filters().isEmpty());
    EXPECT_EQ(active->text(), "");
    EXPECT_FALSE(child<QCheckBox>(sidebar, "useRegex")->isChecked());
    EXPECT_EQ(child<QLineEdit>(sidebar, "extensions")->text(), "");
    for (const char* summary :
         {"sbKindSummary", "sbNameSummary", "sbContentSummary", "sbMetaSummary"})
        EXPECT_EQ(child<QLabel>(sidebar, summary)->text(), "") << summary;
}

// The quick buttons are the sidebar's settings seen from above the list: a click sets, a
// second click clears, and each side shows what the other changed. Space works them too.
TEST_F(PanelsTest, QuickFiltersAndTheSidebarShowOneSetting) {
    auto store = makeStore();
    SidebarView sidebar(store->lifecycle(), store->session(), store->actions(), store->settings());
    QuickFilterBar quick(store->session());
    auto* images = child<QToolButton>(quick, "quickImages");
    auto* folders = child<QToolButton>(quick, "quickFolders");
    auto* family = child<QComboBox>(sidebar, "familyPicker");
    const Filters& f = store->session().filters();

    images->click();
    EXPECT_EQ(f.family, Filters::Family::images);
    EXPECT_EQ(family->currentText(), "Images");

    folders->click(); // folders hold no images: choosing one lets go of the other
    EXPECT_EQ(f.kind, Filters::Kind::foldersOnly);
    EXPECT_EQ(f.family, Filters::Family::any);
    EXPECT_FALSE(images->isChecked());
    folders->click();
    EXPECT_EQ(f.kind, Filters::Kind::all);

    auto* range = child<QComboBox>(sidebar, "dateRange");
    const int thisWeek = range->findText("This Week");
    range->setCurrentIndex(thisWeek);
    emit range->activated(thisWeek);
    EXPECT_TRUE(child<QToolButton>(quick, "quickThisWeek")->isChecked());
    auto* today = child<QToolButton>(quick, "quickToday");
    today->setFocus();
    QTest::keyClick(today, Qt::Key_Space);
    EXPECT_EQ(f.modified, Filters::DateRange::today);
    EXPECT_EQ(range->currentText(), "Today");
    QTest::keyClick(today, Qt::Key_Space);
    EXPECT_TRUE(f.isEmpty());
}

TEST_F(PanelsTest, SettingsControlsWriteTheirPreferences) {
    auto store = makeStore();
    Localization localization(store->settings());
    SettingsWindow window(store->lifecycle(), store->session(), store->preferences(), localization);
    Settings& s = store->settings();
    // A check box must store its new state under its key; a missing key reads as the
    // opposite and fails.
    for (const char* key : {"searchAsYouType", "showInMenuBar", "hideFromDock", "foldersFirst",
                            "closeAfterOpen", "showFullPath", "showAccessed"}) {
        auto* box = child<QCheckBox>(window, key);
        const bool before = box->isChecked();
        box->click();
        EXPECT_NE(box->isChecked(), before) << key;
        EXPECT_EQ(s.boolean(key, before), !before) << key;
    }
    struct Choice {
        const char* control;
        int index;
        std::function<bool()> stored;
    };
    const Choice choices[] = {
        {"listTextSize", 2, [&] { return s.real("listTextSize", 0) == 14; }},
        {"resultLimit", 3, [&] { return s.integer("resultLimit", 0) == 3000; }},
        {"dateStyle", 4, [&] { return s.text("dateStyle") == "isoDate"; }},
        {"pathBarStyle", 2, [&] { return s.text("pathBarStyle") == "tilde"; }},
        {"appearance", 2, [&] { return s.text("appearance") == "dark"; }},
    };
    for (const Choice& c : choices) {
        auto* box = child<QComboBox>(window, c.control);
        box->setCurrentIndex(c.index);
        emit box->activated(c.index);
        EXPECT_TRUE(c.stored()) << c.control;
    }
    Preferences::apply(Appearance::system);

    // The desktop's states appear under their controls while they hold.
    window.setTrayProblem("no tray here");
    EXPECT_EQ(child<QLabel>(window, "trayProblem")->text(), "no tray here");
    EXPECT_FALSE(child<QLabel>(window, "trayProblem")->isHidden());
    window.setTrayProblem({});
    EXPECT_TRUE(child<QLabel>(window, "trayProblem")->isHidden());

    window.showSection("index");
    EXPECT_EQ(s.text("settingsSection"), "index");
    SettingsWindow reopened(store->lifecycle(), store->session(), store->preferences(),
                            localization);
    EXPECT_EQ(child<QListWidget>(reopened, "settingsSections")->currentRow(), 5);
}

// The Index page's two folder lists: left out of the index, and indexed besides home.
TEST_F(PanelsTest, AddingThreeFoldersAddsAllAndRemovingTheLastShowsNone) {
    test::ScopedEnv data;
    data.set("XDG_DATA_HOME", std::nullopt);
    struct Case {
        ExclusionsView::List list;
        QString add, remove, none;
        std::function<QStringList(IndexStore&)> stored;
    };
    const Case cases[] = {
        {ExclusionsView::List::excluded, "excludeFolder", "removeExclusion", "noExclusions",
         [](IndexStore& s) { return s.lifecycle().excludedFolderList(); }},
        {ExclusionsView::List::added, "addFolder", "removeAddedFolder", "noAddedFolders",
         [](IndexStore& s) { return s.lifecycle().extraRootList(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.add.toStdString());
        auto store = makeStore();
        ExclusionsView view(store->lifecycle(), c.list);
        const QStringList chosen{QString::fromStdString(home.dir("a")),
                                 QString::fromStdString(home.dir("b")),
                                 QString::fromStdString(home.dir("c"))};
        view.setChooser([&](QWidget*) { return chosen; });
        child<QPushButton>(view, c.add)->click();
        settle();
        EXPECT_EQ(c.stored(*store), chosen);
        EXPECT_EQ(view.findChild<QLabel*>(c.none), nullptr);

        for (const QString& folder : chosen) {
            QToolButton* remove = nullptr;
            for (auto* button : view.findChildren<QToolButton*>(c.remove))
                if (button->accessibleName() == "Remove " + folder) remove = button;
            ASSERT_NE(remove, nullptr) << folder.toStdString();
            remove->click();
            settle();
        }
        EXPECT_TRUE(c.stored(*store).isEmpty());
        EXPECT_EQ(child<QLabel>(view, c.none)->text(), "None");
        if (c.list != ExclusionsView::List::excluded) continue;
        // The Trash is always left out, listed without a remove button.
        QStringList builtIn;
        for (auto* label : view.findChildren<QLabel*>("builtInExclusion"))
            builtIn << label->text();
        EXPECT_TRUE(builtIn.contains(QString::fromStdString(home.root() + "/.local/share/Trash")))
            << builtIn.join(", ").toStdString();
    }
}

// Over the window it belongs to, and gone with Escape wherever the focus is (Escape and
// Ctrl+W from the keyboard are the session test's).
TEST_F(PanelsTest, SettingsOpenCentredOverTheirWindowAndCloseByKeys) {
    auto store = makeStore();
    Localization localization(store->settings());
    QWidget main;
    main.setGeometry(100, 80, 1000, 700);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    SettingsWindow window(store->lifecycle(), store->session(), store->preferences(), localization,
                          &main);
    window.present();
    // A child window counts as active while its parent is; its keys need it to be so itself.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, test::patience));
    EXPECT_EQ(window.windowHandle()->transientParent(), main.windowHandle());
    EXPECT_LE((window.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(),
              16);
    auto* sections = child<QListWidget>(window, "settingsSections");
    sections->setFocus();
    QTest::keyClick(sections, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(PanelsTest, SavedSearchesAreNamedAppliedAndRemovedFromTheirRows) {
    auto store = makeStore();
    SavedSearchesView view(store->actions());
    store->session().setQuery("report");
    child<QPushButton>(view, "saveCurrentSearch")->click();
    auto* name = child<QLineEdit>(view, "savedSearchName");
    EXPECT_TRUE(view.isNaming());
    name->setText("  Reports  ");
    emit name->returnPressed();
    EXPECT_FALSE(view.isNaming());
    EXPECT_EQ(name->text(), "");
    ASSERT_EQ(store->actions().savedSearches().size(), 1u);
    EXPECT_EQ(store->actions().savedSearches()[0].name, "Reports");

    store->session().setQuery("other");
    child<QPushButton>(view, "savedSearch")->click();
    EXPECT_EQ(store->session().query(), "report");
    child<QToolButton>(view, "removeSavedSearch")->click();
    settle();
    EXPECT_TRUE(store->actions().savedSearches().empty());
    EXPECT_EQ(view.findChild<QPushButton*>("savedSearch"), nullptr);
}

TEST_F(PanelsTest, VolumesAreToggledAsExtraRootsAndAbsentRootsShowNotMounted) {
    volumes = {{"/media/ann/BACKUP", "BACKUP", true, false}};
    auto store = makeStore();
    store->lifecycle().volumesChanged();
    store->lifecycle().setExtraRoots({"/media/ann/GONE"});
    LocationsView view(store->lifecycle());
    const auto box = [&](const QString& name) {
        for (auto* found : view.findChildren<QCheckBox*>("location"))
            if (found->accessibleName() == name && !found->parentWidget()->isHidden()) return found;
        return static_cast<QCheckBox*>(nullptr);
    };
    const auto shows = [&](const QString& text) {
        for (auto* label : view.findChildren<QLabel*>())
            if (label->text() == text && !label->parentWidget()->isHidden()) return true;
        return false;
    };
    EXPECT_TRUE(shows("Not mounted"));
    ASSERT_NE(box("BACKUP"), nullptr);
    box("BACKUP")->click();
    settle();
    EXPECT_EQ(store->lifecycle().extraRoots(),
              (std::vector<std::string>{"/media/ann/GONE", "/media/ann/BACKUP"}));
    box("GONE")->click();
    settle();
    EXPECT_EQ(store->lifecycle().extraRoots(), std::vector<std::string>{"/media/ann/BACKUP"});
    EXPECT_FALSE(shows("Not mounted"));
}

// Sections start closed and a sidebar made again opens those opened before. Open sections
// make the sidebar scroll; the bar takes room beside the controls, never over them, in the
// narrowest sidebar and in either language.
TEST_F(PanelsTest, OpenedSectionsStayOpenAndTheScrollBarNeverCoversTheirControls) {
    auto store = makeStore();
    const char* keys[] = {"sbKind", "sbName", "sbContent", "sbMeta"};
    {
        SidebarView first(store->lifecycle(), store->session(), store->actions(),
                          store->settings());
        for (const char* key : keys) {
            EXPECT_FALSE(child<CollapsibleSection>(first, key)->isOpen()) << key;
            child<QToolButton>(first, QString::fromLatin1(key) + "Header")->click();
        }
    }
    Localization localization(store->settings());
    SidebarView sidebar(store->lifecycle(), store->session(), store->actions(), store->settings());
    for (const char* key : keys)
        EXPECT_TRUE(child<CollapsibleSection>(sidebar, key)->isOpen()) << key;
    sidebar.show();
    auto* scroll = child<QScrollArea>(sidebar, "sidebarScroll");
    for (const char* language : {"en", "ko"}) {
        localization.setLanguage(QString::fromLatin1(language));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        sidebar.resize(sidebar.minimumWidth(), 300);
        QCoreApplication::processEvents();
        ASSERT_TRUE(scroll->verticalScrollBar()->isVisible()) << language;
        for (const char* name : {"clearFilters", "kindPicker", "extensions", "contentQuery",
                                 "maximumSizeUnit", "dateRange"}) {
            auto* control = child<QWidget>(sidebar, QString::fromLatin1(name));
            const int right = control->mapTo(scroll->viewport(), QPoint(control->width(), 0)).x();
            EXPECT_LE(right, scroll->viewport()->width()) << name << " in " << language;
        }
    }
    localization.setLanguage("en");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace
} // namespace vesko
