// SPDX-License-Identifier: MIT
// The sidebar, the settings window and their list editors, driven through their controls
// over a store with private preferences.
#include "store/Localization.h"
#include "store/StoreFixture.h"
#include "support/ScopedEnv.h"
#include "ui/CollapsibleSection.h"
#include "ui/ExclusionsView.h"
#include "ui/FilterSummary.h"
#include "ui/LocationsView.h"
#include "ui/SavedSearchesView.h"
#include "ui/SettingsWindow.h"
#include "ui/SidebarView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

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
    SidebarView sidebar(*store);
    auto* active = child<QLabel>(sidebar, "activeFilters");
    EXPECT_EQ(active->text(), "");

    child<QCheckBox>(sidebar, "useRegex")->click();
    child<QCheckBox>(sidebar, "showInvisible")->click();
    child<QLineEdit>(sidebar, "extensions")->setText("pdf jpg");
    auto* range = child<QComboBox>(sidebar, "dateRange");
    range->setCurrentIndex(1);
    emit range->activated(1);
    auto* dateField = child<QComboBox>(sidebar, "dateField");
    dateField->setCurrentIndex(2);
    emit dateField->activated(2);

    const Filters& f = store->filters();
    EXPECT_TRUE(f.useRegex);
    EXPECT_FALSE(f.showInvisible);
    EXPECT_EQ(f.extensions, "pdf jpg");
    EXPECT_EQ(f.modified, Filters::DateRange::today);
    EXPECT_EQ(f.dateField, Filters::DateField::accessed);
    EXPECT_EQ(active->text(), "4 active"); // the date field alone never counts

    child<QPushButton>(sidebar, "clearFilters")->click();
    EXPECT_TRUE(store->filters().isEmpty());
    EXPECT_EQ(active->text(), "");
    EXPECT_FALSE(child<QCheckBox>(sidebar, "useRegex")->isChecked());
    EXPECT_EQ(child<QLineEdit>(sidebar, "extensions")->text(), "");
    for (const char* summary :
         {"sbKindSummary", "sbNameSummary", "sbContentSummary", "sbMetaSummary"})
        EXPECT_EQ(child<QLabel>(sidebar, summary)->text(), "") << summary;
}

TEST(FilterSummaryTest, ClosedSectionsSummariseTheirSettings) {
    struct Case {
        std::function<void(Filters&)> set;
        QString kind, name, contents, meta;
    };
    const Case cases[] = {
        {[](Filters&) {}, "", "", "", ""},
        {[](Filters& f) {
             f.kind = Filters::Kind::foldersOnly;
             f.showInvisible = f.showPackageContents = false;
         },
         "Folders · No hidden · No packages", "", "", ""},
        {[](Filters& f) {
             f.matchPath = f.matchCase = true;
             f.extensions = ".PDF, tar.gz";
         },
         "", "Path · Aa · .pdf · .tar · .gz", "", ""},
        {[](Filters& f) {
             f.useRegex = true;
             f.contentQuery = "invoice 2024";
         },
         "", "Regex", "“invoice 2024”", ""},
        {[](Filters& f) {
             f.minimumSize = 1.5;
             f.maximumSize = 2;
             f.maximumSizeUnit = Filters::SizeUnit::gb;
             f.modified = Filters::DateRange::lastMonth;
         },
         "", "", "", "> 1.5 MB · < 2 GB · This month"},
        {[](Filters& f) { f.dateField = Filters::DateField::created; }, "", "", "", "Created"},
    };
    for (const Case& c : cases) {
        Filters filters;
        c.set(filters);
        EXPECT_EQ(FilterSummary::kind(filters), c.kind);
        EXPECT_EQ(FilterSummary::name(filters), c.name);
        EXPECT_EQ(FilterSummary::contents(filters), c.contents);
        EXPECT_EQ(FilterSummary::sizeAndDate(filters), c.meta);
    }
}

TEST_F(PanelsTest, SectionsStartClosedAndRememberBeingOpened) {
    auto store = makeStore();
    const char* keys[] = {"sbKind", "sbName", "sbContent", "sbMeta"};
    {
        SidebarView sidebar(*store);
        for (const char* key : keys)
            EXPECT_FALSE(child<CollapsibleSection>(sidebar, key)->isOpen()) << key;
        child<QToolButton>(sidebar, "sbNameHeader")->click();
        child<QToolButton>(sidebar, "sbMetaHeader")->click();
    }
    SidebarView again(*store);
    for (const char* key : keys)
        EXPECT_EQ(child<CollapsibleSection>(again, key)->isOpen(),
                  key == std::string("sbName") || key == std::string("sbMeta"))
            << key;
}

TEST_F(PanelsTest, SettingsControlsWriteTheirPreferences) {
    auto store = makeStore();
    Localization localization(store->settings());
    SettingsWindow window(*store, localization);
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
    store->setTrayProblem("no tray here");
    EXPECT_EQ(child<QLabel>(window, "trayProblem")->text(), "no tray here");
    EXPECT_FALSE(child<QLabel>(window, "trayProblem")->isHidden());
    store->setTrayProblem({});
    EXPECT_TRUE(child<QLabel>(window, "trayProblem")->isHidden());

    window.showSection("index");
    EXPECT_EQ(s.text("settingsSection"), "index");
    SettingsWindow reopened(*store, localization);
    EXPECT_EQ(child<QListWidget>(reopened, "settingsSections")->currentRow(), 5);
}

TEST_F(PanelsTest, ExcludingThreeFoldersAddsAllAndRemovingTheLastShowsNone) {
    test::ScopedEnv data;
    data.set("XDG_DATA_HOME", std::nullopt);
    auto store = makeStore();
    ExclusionsView view(*store);
    const QStringList chosen{QString::fromStdString(home.dir("a")),
                             QString::fromStdString(home.dir("b")),
                             QString::fromStdString(home.dir("c"))};
    view.setChooser([&](QWidget*) { return chosen; });
    child<QPushButton>(view, "excludeFolder")->click();
    settle();
    EXPECT_EQ(store->excludedFolderList(), chosen);
    EXPECT_EQ(view.findChild<QLabel*>("noExclusions"), nullptr);

    for (const QString& folder : chosen) {
        QToolButton* remove = nullptr;
        for (auto* button : view.findChildren<QToolButton*>("removeExclusion"))
            if (button->accessibleName() == "Remove " + folder) remove = button;
        ASSERT_NE(remove, nullptr) << folder.toStdString();
        remove->click();
        settle();
    }
    EXPECT_TRUE(store->excludedFolderList().isEmpty());
    EXPECT_EQ(child<QLabel>(view, "noExclusions")->text(), "None");
    // The Trash is always left out, listed without a remove button.
    QStringList builtIn;
    for (auto* label : view.findChildren<QLabel*>("builtInExclusion"))
        builtIn << label->text();
    EXPECT_TRUE(builtIn.contains(QString::fromStdString(home.root() + "/.local/share/Trash")))
        << builtIn.join(", ").toStdString();
    EXPECT_TRUE(view.findChildren<QToolButton*>("removeExclusion").isEmpty());
}

TEST_F(PanelsTest, SavedSearchesAreNamedAppliedAndRemovedFromTheirRows) {
    auto store = makeStore();
    SavedSearchesView view(*store);
    store->setQuery("report");
    child<QPushButton>(view, "saveCurrentSearch")->click();
    auto* name = child<QLineEdit>(view, "savedSearchName");
    EXPECT_TRUE(view.isNaming());
    name->setText("  Reports  ");
    emit name->returnPressed();
    EXPECT_FALSE(view.isNaming());
    EXPECT_EQ(name->text(), "");
    ASSERT_EQ(store->savedSearches().size(), 1u);
    EXPECT_EQ(store->savedSearches()[0].name, "Reports");

    store->setQuery("other");
    child<QPushButton>(view, "savedSearch")->click();
    EXPECT_EQ(store->query(), "report");
    child<QToolButton>(view, "removeSavedSearch")->click();
    settle();
    EXPECT_TRUE(store->savedSearches().empty());
    EXPECT_EQ(view.findChild<QPushButton*>("savedSearch"), nullptr);
}

TEST_F(PanelsTest, VolumesAreToggledAsExtraRootsAndAbsentRootsShowNotMounted) {
    volumes = {{"/media/ann/BACKUP", "BACKUP", true, false}};
    auto store = makeStore();
    store->volumesChanged();
    store->setExtraRoots({"/media/ann/GONE"});
    LocationsView view(*store);
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
    EXPECT_EQ(store->extraRoots(),
              (std::vector<std::string>{"/media/ann/GONE", "/media/ann/BACKUP"}));
    box("GONE")->click();
    settle();
    EXPECT_EQ(store->extraRoots(), std::vector<std::string>{"/media/ann/BACKUP"});
    EXPECT_FALSE(shows("Not mounted"));
}

TEST_F(PanelsTest, SwitchingTheLanguageRetitlesInPlace) {
    auto store = makeStore();
    Localization localization(store->settings());
    SettingsWindow window(*store, localization);
    SidebarView sidebar(*store);
    auto* appearance = child<QComboBox>(window, "appearance");
    appearance->setCurrentIndex(0);
    auto* regex = child<QCheckBox>(sidebar, "useRegex");
    regex->click();

    localization.setLanguage("ko");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(appearance->itemText(0), Preferences::label(Appearance::system));
    EXPECT_NE(appearance->itemText(0), "System");
    EXPECT_TRUE(regex->isChecked()); // state kept, nothing rebuilt

    localization.setLanguage("en");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(appearance->itemText(0), "System");
    EXPECT_EQ(window.windowTitle(), "Settings");
    EXPECT_EQ(regex->text(), "Regular Expression");
}

} // namespace
} // namespace vesko
