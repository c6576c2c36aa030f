// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Preferences.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <QGuiApplication>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <filesystem>

namespace vesko {
namespace {

struct Snapshot {
    bool showSize, showModified, showKind, showCreated, showAccessed, showFullPath;
    PathBarStyle pathBarStyle;
    DateStyle dateStyle;
    Appearance appearance;
    double listTextSize;
    bool hideFromDock, showInMenuBar, closeAfterOpen, showSidebar;
    HotKeySetting hotKey;
    QString settingsSection;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Preferences& p) {
    return {p.showSize(),       p.showModified(), p.showKind(),     p.showCreated(),
            p.showAccessed(),   p.showFullPath(), p.pathBarStyle(), p.dateStyle(),
            p.appearance(),     p.listTextSize(), p.hideFromDock(), p.showInMenuBar(),
            p.closeAfterOpen(), p.showSidebar(),  p.hotKey(),       p.settingsSection()};
}

class PreferencesTest : public testing::Test {
protected:
    void TearDown() override { Preferences::apply(Appearance::system); }

    test::TempTree tree;
};

TEST_F(PreferencesTest, EveryKeySurvivesTheFileAndWrongTypesReadAsDefaults) {
    const std::string file = tree.path("vesko.conf");
    const Snapshot changed{false,
                           false,
                           false,
                           true,
                           true,
                           false,
                           PathBarStyle::plain,
                           DateStyle::isoDateTime,
                           Appearance::dark,
                           15.5,
                           true,
                           true,
                           true,
                           false,
                           HotKeySetting{'K', 0x1200},
                           "exclusions"};
    Settings empty(tree.path("empty.conf"));
    const Snapshot defaults = snapshot(Preferences(empty));
    {
        Settings settings(file);
        Preferences prefs(settings);
        prefs.setShowSize(false);
        prefs.setShowModified(false);
        prefs.setShowKind(false);
        prefs.setShowCreated(true);
        prefs.setShowAccessed(true);
        prefs.setShowFullPath(false);
        prefs.setPathBarStyle(PathBarStyle::plain);
        prefs.setDateStyle(DateStyle::isoDateTime);
        prefs.setAppearance(Appearance::dark);
        prefs.setListTextSize(15.5);
        prefs.setShowInMenuBar(true);
        prefs.setHideFromDock(true);
        prefs.setCloseAfterOpen(true);
        prefs.setShowSidebar(false);
        prefs.setHotKey(HotKeySetting{'K', 0x1200});
        prefs.setSettingsSection("exclusions");
        ASSERT_TRUE(settings.sync());
    }
    Settings again(test::reopened(tree, file));
    EXPECT_EQ(snapshot(Preferences(again)), changed);

    const std::string wrong = tree.file(
        "wrong.conf",
        "[General]\nshowSize=yes please\nshowModified=2\nshowKind=\nshowCreated=maybe\n"
        "showAccessed=@Invalid()\nshowFullPath=0.5\npathBarStyle=Breadcrumb\n"
        "dateStyle=fancy\nappearance=3\nlistTextSize=big\nhideFromDock=on\n"
        "showInMenuBar=a, b\ncloseAfterOpen=null\nshowSidebar=\"\"\n"
        "hotKey=\"{\\\"keyCode\\\":\\\"F7\\\",\\\"modifiers\\\":4096}\"\nsettingsSection=a, b\n");
    Settings hand(wrong);
    EXPECT_EQ(snapshot(Preferences(hand)), defaults);
    const std::string huge = tree.file("huge.conf", "[General]\nlistTextSize=1e9\nhotKey={}\n");
    Settings edited(huge);
    EXPECT_EQ(snapshot(Preferences(edited)), defaults);
}

TEST(HotKeySettingTest, OnlyRecordableShortcutsDecode) {
    const std::pair<QString, bool> cases[] = {
        {R"({"keyCode":75,"modifiers":4608})", true},        // Ctrl+Shift+K
        {R"({"keyCode":16777270,"modifiers":0})", false},    // F7 alone
        {R"({"keyCode":16777249,"modifiers":4096})", false}, // Ctrl on its own
        {R"({"keyCode":33554431,"modifiers":4096})", false}, // Qt::Key_unknown
        {R"({"keyCode":0,"modifiers":4096})", false},
        {R"({"keyCode":75,"modifiers":65536})", false}, // no such modifier
    };
    for (const auto& [json, valid] : cases) {
        EXPECT_EQ(HotKeySetting::fromJson(json).has_value(), valid) << json.toStdString();
    }
}

TEST(AppearanceTest, DarkAndLightChangeTheApplicationPaletteAndSystemRestoresIt) {
    const QColor original = QGuiApplication::palette().color(QPalette::Window);
    Preferences::apply(Appearance::dark);
    EXPECT_LT(QGuiApplication::palette().color(QPalette::Window).lightness(), 100);
    EXPECT_GT(QGuiApplication::palette().color(QPalette::WindowText).lightness(), 150);
    Preferences::apply(Appearance::light);
    EXPECT_GT(QGuiApplication::palette().color(QPalette::Window).lightness(), 200);
    Preferences::apply(Appearance::system);
    EXPECT_EQ(QGuiApplication::palette().color(QPalette::Window), original);
}

} // namespace
} // namespace vesko
