// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ElidedText.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace vesko {
namespace {

TEST(ElidedTextTest, APathKeepsTheFoldersNearestItsEnd) {
    const QFontMetrics metrics{QFont()};
    const auto width = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QString deep = "~/Documents/Work/Reports/2024";
    struct Case {
        QString path;
        int width;
        QString shown;
    };
    const Case cases[] = {
        {deep, width(deep), deep},
        {deep, width("~/…/Reports/2024"), "~/…/Reports/2024"},
        {deep, width("~/…/Reports/2024") - 1, "…/Reports/2024"},
        {"/srv/data/archive/old/x", width("/…/old/x"), "/…/old/x"},
        {"Users  ›  ann  ›  Documents", width("…  ›  Documents"), "…  ›  Documents"},
    };
    for (const Case& c : cases) {
        const QString separator = c.path.contains(u'/') ? "/" : "  ›  ";
        EXPECT_EQ(ElidedText::path(c.path, metrics, c.width, separator), c.shown)
            << c.path.toStdString() << " in " << c.width;
    }
    // A last name too long alone keeps both its ends.
    const QString cut =
        ElidedText::path("/home/ann/quarterly-reports-archive", metrics, width("quarterly…"));
    EXPECT_LE(width(cut), width("quarterly…"));
    EXPECT_TRUE(cut.startsWith('q') && cut.contains(QChar(0x2026))) << cut.toStdString();
}

TEST(ElidedTextTest, ALongNameKeepsItsFirstMatchInSight) {
    const QFontMetrics metrics{QFont()};
    const QString name = "a-rather-long-beginning-before-the-report-and-a-long-ending.pdf";
    const int match = static_cast<int>(name.indexOf("report"));
    for (const QString& room : {QString("…the-report-and…"), QString("…report-a…"),
                                QString("a-rather-long-beginning-before-the-rep")}) {
        const int width = metrics.horizontalAdvance(room);
        const ElidedText::Window window =
            ElidedText::around(name, match, match + 6, metrics, width);
        EXPECT_LE(metrics.horizontalAdvance(window.text), width) << room.toStdString();
        ASSERT_GE(window.shownAt(match), 0) << room.toStdString();
        EXPECT_EQ(window.text.mid(window.shownAt(match), 6), "report") << room.toStdString();
    }
    // Near the end, the cut goes before it and the extension stays.
    const QString late = "a-rather-long-beginning-and-then-the-report.pdf";
    const int at = static_cast<int>(late.indexOf("report"));
    const ElidedText::Window window = ElidedText::around(
        late, at, at + 6, metrics, metrics.horizontalAdvance("…then-the-report.pdf"));
    EXPECT_TRUE(window.cutBefore);
    EXPECT_TRUE(window.text.endsWith("report.pdf")) << window.text.toStdString();
}

} // namespace
} // namespace vesko
