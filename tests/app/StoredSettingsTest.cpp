// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StoredSettings.h"

#include "store/Settings.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace vesko {
namespace {

// The command line reads the window's preferences without Qt: whatever QSettings writes
// reads back as the window's own Settings reads it.
TEST(StoredSettings, ReadsWhatTheWindowsSettingsWrote) {
    test::TempTree folder;
    const std::string file = folder.path("vesko.conf");
    const std::vector<std::string> texts = {
        "a, b",           "quote\"d", "back\\slash", " lead", "trail ",  "tab\there", "new\nline",
        "세미;콜론=등호", "@at",      "@@two",       "",      "x\x01y1", "#hash",     "résumé"};
    {
        Settings written(file);
        written.setStringList("texts", texts);
        for (std::size_t i = 0; i < texts.size(); ++i)
            written.setStringList("one" + std::to_string(i), {texts[i]});
        written.setStringList("none", {});
        written.setStringList("extraRoots", {"/media/usb, 1", "/mnt/디스크"});
        written.setStringList("excludedFolders", {"~/build", "/tmp/x/", "/tmp/x/y"});
        written.setBoolean("initialConsonants", false);
        written.setBoolean("matchDiacritics", true);
        written.setInteger("number", 12);
        written.setStringList("group/extraRoots", {"/elsewhere"});
        ASSERT_TRUE(written.sync());
    }
    const Settings window(file);
    const StoredSettings read(file);
    EXPECT_EQ(read.list("texts"), texts);
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(read.list("one" + std::to_string(i)),
                  window.stringList("one" + std::to_string(i)))
            << texts[i];
    EXPECT_EQ(read.list("none"), std::vector<std::string>{});
    EXPECT_EQ(read.list("absent"), std::nullopt);
    EXPECT_EQ(read.extraRoots(), window.extraRoots());
    EXPECT_EQ(read.excludedFolders(), window.excludedFolders());
    EXPECT_FALSE(read.boolean("initialConsonants", true));
    EXPECT_TRUE(read.boolean("matchDiacritics", false));
    EXPECT_TRUE(read.boolean("number", true)); // not a Boolean: the default

    // Hand-edited: comments, a relative root (which voids the list), spaces, a [General]
    // section written in other letters.
    std::ofstream(file) << "; a comment\n[general]\nextraRoots = relative, /abs\n"
                           "initialConsonants =  TRUE ; set by hand\n";
    EXPECT_EQ(StoredSettings(file).extraRoots(), Settings(file).extraRoots());
    EXPECT_TRUE(StoredSettings(file).boolean("initialConsonants", false));
    EXPECT_EQ(StoredSettings(folder.path("missing.conf")).list("texts"), std::nullopt);
}

} // namespace
} // namespace vesko
