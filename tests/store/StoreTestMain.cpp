// SPDX-License-Identifier: GPL-3.0-or-later
// The store needs an application object for its timers, notifiers and queued results, and a
// GUI one for the clipboard; without a display it runs on the offscreen platform.
#include <QGuiApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Status texts are checked in English digit grouping ("1,200").
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return RUN_ALL_TESTS();
}
