// SPDX-License-Identifier: MIT
#include "store/Localization.h"

#include "store/FileActions.h"
#include "store/Preferences.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

class LocalizationTest : public testing::Test {
protected:
    // Texts from three places that translate differently: a plain text, one with an
    // argument and one with a plural.
    static std::vector<QString> texts() {
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1'700'000'000);
        return {Preferences::label(DateStyle::dateOnly), *FileActions::nameProblem("a/b", "/"),
                Preferences::sample(DateStyle::relative, now)};
    }

    test::TempTree tree;
    Settings settings{tree.path("vesko.conf")};
};

TEST_F(LocalizationTest, SwitchesEveryTextAtRunTimeAndRemembersTheChoice) {
    const std::vector<QString> english = {"Date only", "A name can't contain “/”.", "3 days ago"};
    const std::vector<QString> korean = {"날짜만", "이름에 “/”를 넣을 수 없습니다.", "3일 전"};
    Localization localization(settings);
    int changes = 0;
    QObject::connect(&localization, &Localization::languageChanged, [&] { ++changes; });

    localization.setLanguage("en");
    EXPECT_EQ(texts(), english);
    localization.setLanguage("ko");
    EXPECT_EQ(texts(), korean);
    EXPECT_EQ(localization.shownLanguage(), "ko");
    EXPECT_EQ(settings.text("language"), "ko");
    localization.setLanguage("ko");
    EXPECT_EQ(changes, 2);

    // A language without a translation shows the English texts.
    localization.setLanguage("fr");
    EXPECT_EQ(texts(), english);
    EXPECT_EQ(localization.shownLanguage(), "en");

    localization.setLanguage(std::nullopt);
    EXPECT_FALSE(settings.contains("language"));
    EXPECT_EQ(changes, 4);
}

TEST_F(LocalizationTest, TheStoredLanguageAppliesFromTheStart) {
    settings.setText("language", "ko");
    {
        Localization localization(settings);
        EXPECT_EQ(localization.language(), "ko");
        EXPECT_EQ(texts().front(), "날짜만");
    }
    EXPECT_EQ(texts().front(), "Date only")
        << "a removed Localization leaves no translation behind";
}

} // namespace
} // namespace vesko
