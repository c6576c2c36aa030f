// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Localization.h"

#include "store/FileActions.h"
#include "store/Preferences.h"
#include "ui/ActionProblemText.h"
#include "ui/DisplayText.h"

#include "support/TempTree.h"

#include "store/ActionTestSupport.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cerrno>
#include <cstring>

namespace vesko {
namespace {

class LocalizationTest : public testing::Test {
protected:
    // Texts from three places that translate differently: a plain text, one with an
    // argument and one with a plural.
    static std::vector<QString> texts() {
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1'700'000'000);
        return {DisplayText::label(DateStyle::dateOnly),
                ActionProblemText::sentence(*FileActions::nameProblem("a/b", "/")),
                DisplayText::sample(DateStyle::relative, now)};
    }

    test::TempTree tree;
    Settings settings{tree.path("vesko.conf")};
};

TEST_F(LocalizationTest, SwitchesEveryTextAtRunTimeAndRemembersTheChoice) {
    const std::vector<QString> english = {"Date only", "A name can't contain “/”.",
                                          "5 minutes ago"};
    const std::vector<QString> korean = {"날짜만", "이름에 “/”를 넣을 수 없습니다.", "5분 전"};
    // A stored language applies from the start, and a Localization removed takes it along.
    settings.setText("language", "ko");
    {
        Localization stored(settings);
        EXPECT_EQ(stored.language(), "ko");
        EXPECT_EQ(texts().front(), "날짜만");
    }
    EXPECT_EQ(texts().front(), "Date only");

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

// "~" stands for the home folder only as a whole folder, never for a longer name.
TEST(PathTextTest, TildeOnlyForTheWholeHomeFolder) {
    EXPECT_EQ(DisplayText::pathText(PathBarStyle::tilde, "/Users/ann/x", "/Users/ann"), "~/x");
    EXPECT_EQ(DisplayText::pathText(PathBarStyle::tilde, "/Users/anna/x", "/Users/ann"),
              "/Users/anna/x");
}

// An entry without a date reads "-" in every style, not a date near 1970.
TEST(DateTextTest, NoDateReadsAsADash) {
    const QDateTime now(QDate(2023, 11, 15), QTime(9, 30));
    for (const auto& [style, raw] : Preferences::dateStyles)
        EXPECT_EQ(DisplayText::dateText(style, 0, now), "-") << raw;
}

// A trash of many marked items counts what stayed, names a screenful with its reason and
// counts the rest.
TEST(ActionProblemTextTest, ATrashOfManyItemsSaysWhatStayedAndWhy) {
    test::TempTree tree;
    Settings settings(tree.path("vesko.conf"));
    Localization english(settings);
    english.setLanguage("en");
    ActionProblems problems{{}, 20};
    for (int i = 0; i < 13; ++i)
        problems.items.push_back(
            {ActionProblem::Kind::system, QString("f%1").arg(i), {}, EACCES, 0, {}});
    const QStringList lines = ActionProblemText::text(problems).split('\n');
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.front(), "Not every item could be moved to the Trash (13 of 20 stayed):");
    EXPECT_EQ(lines[1], "f0: " + QString::fromLocal8Bit(std::strerror(EACCES)));
    EXPECT_EQ(lines.back(), "…and 1 more");
}

} // namespace
} // namespace vesko
