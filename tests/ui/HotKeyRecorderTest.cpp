// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HotKeyRecorder.h"

#include "store/StoreFixture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace vesko {
namespace {

class HotKeyRecorderTest : public test::StoreFixture {};

TEST_F(HotKeyRecorderTest, StoresOnlyAKeyHeldWithAModifier) {
    auto store = makeStore();
    HotKeyRecorder recorder{store->preferences()};
    recorder.show();
    auto* field = recorder.findChild<QWidget*>("hotKeyField");
    auto* complaint = recorder.findChild<QLabel*>("hotKeyComplaint");
    ASSERT_TRUE(field && complaint);
    const auto stored = [&] { return store->preferences().hotKey(); };
    // While recording, a key that is some window's shortcut goes to the recorder.
    QAction shortcut(&recorder);
    shortcut.setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space));
    recorder.addAction(&shortcut);
    QSignalSpy fired(&shortcut, &QAction::triggered);
    const HotKeySetting before = stored();
    recorder.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&recorder));

    QTest::mouseClick(field, Qt::LeftButton);
    ASSERT_TRUE(recorder.isRecording());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(stored(), before);

    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_F5);
    QTest::keyClick(field, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(recorder.isRecording());
    EXPECT_EQ(complaint->text(), "Hold Ctrl, Alt, Shift or Super as well.");
    EXPECT_EQ(stored(), before);

    // Through the window, as the desktop delivers it, so the shortcut map sees it first.
    QTest::keyClick(recorder.windowHandle(), Qt::Key_Space,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(complaint->isHidden());
    EXPECT_EQ(stored(), (HotKeySetting{Qt::Key_Space, 0x1200}));
    EXPECT_EQ(fired.count(), 0);

    QTest::mouseClick(recorder.findChild<QPushButton*>("hotKeyDefault"), Qt::LeftButton);
    EXPECT_EQ(stored(), HotKeySetting{});
}

} // namespace
} // namespace vesko
