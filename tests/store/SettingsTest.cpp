// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Settings.h"

#include "scan/Roots.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vesko {
namespace {

using Strings = std::vector<std::string>;

class SettingsTest : public testing::Test {
protected:
    std::string written(const std::string& text) {
        return tree.file("raw" + std::to_string(++copies) + ".conf", text);
    }

    test::TempTree tree;
    std::string file = tree.path("vesko.conf");
    int copies = 0;
};

TEST_F(SettingsTest, ValuesOfTheWrongTypeReadAsTheDefault) {
    Settings settings(
        written("[General]\nflag=maybe\ncount=12abc\nwhole=1.5\nhuge=99999999999999999999\n"
                "ratio=inf\nlist=@ByteArray(abc)\nname=a, b\nextraRoots=5\n"
                "excludedFolders=Library\nspaced= 42 \nupper=TRUE\n"));
    EXPECT_TRUE(settings.boolean("flag", true));
    EXPECT_EQ(settings.integer("count", 7), 7);
    EXPECT_EQ(settings.integer("whole", 7), 7);
    EXPECT_EQ(settings.integer("huge", 7), 7);
    EXPECT_EQ(settings.real("ratio", 2.5), 2.5);
    EXPECT_EQ(settings.stringList("list", {"d"}), Strings{"d"});
    EXPECT_EQ(settings.text("name", "d"), "d");
    EXPECT_TRUE(settings.extraRoots().empty());
    EXPECT_TRUE(settings.excludedFolders().empty());
    EXPECT_EQ(settings.integer("spaced", 0), 42);
    EXPECT_TRUE(settings.boolean("upper", false));

    // Typed values set in this process are still typed when read back.
    settings.setInteger("extraRoots", 5);
    settings.setBoolean("list", true);
    EXPECT_TRUE(settings.extraRoots().empty());
    EXPECT_EQ(settings.stringList("list", {"d"}), Strings{"d"});
    EXPECT_EQ(settings.integer("list", 3), 3);
}

// Read back past QSettings' cache: lists of one item or none are where its file format
// loses the type.
TEST_F(SettingsTest, ListsSurviveTheFileAndExclusionsAreStoredNormalized) {
    const test::ScopedEnv home("HOME", "/home/tester");
    const std::vector<Strings> lists = {{}, {"/one"}, {""}, {"a", "b, c", "@at", "quote\"d"}};
    {
        Settings settings(file);
        for (std::size_t i = 0; i < lists.size(); ++i)
            settings.setStringList("list" + std::to_string(i), lists[i]);
        settings.setExtraRoots({"/mnt/z", "/mnt/a"});
        settings.setExcludedFolders({"~/Library/", "/", "", "~/Library/Caches", "/tmp/b"});
        ASSERT_TRUE(settings.sync());
    }
    Settings again(test::reopened(tree, file));
    for (std::size_t i = 0; i < lists.size(); ++i)
        EXPECT_EQ(again.stringList("list" + std::to_string(i), {"default"}), lists[i]) << i;
    EXPECT_EQ(again.extraRoots(), (Strings{"/mnt/z", "/mnt/a"}));
    EXPECT_EQ(again.stringList("excludedFolders"), (Strings{"/home/tester/Library", "/tmp/b"}));

    Settings edited(written("[General]\nexcludedFolders=/x/y, ~/a/, /x\n"));
    EXPECT_EQ(edited.excludedFolders(), (Strings{"/home/tester/a", "/x"}));
}

TEST_F(SettingsTest, UnparsableFileIsCopiedAsideBeforeAnyWrite) {
    const std::string text = "[General]\nno equals sign here\nk=1\n[broken\nx=2\n";
    const std::string path = written(text);
    Settings settings(path);
    EXPECT_NE(settings.problem().find("could not be read completely"), std::string::npos);
    bool kept = false;
    for (const auto& entry : std::filesystem::directory_iterator(tree.root())) {
        if (entry.path().string().starts_with(path + ".unreadable-")) {
            std::ifstream in(entry.path());
            kept = std::string(std::istreambuf_iterator<char>(in), {}) == text;
        }
    }
    EXPECT_TRUE(kept);
}

} // namespace
} // namespace vesko
