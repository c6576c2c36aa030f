// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's tests need a real X server: key grabs, window activation and the clipboard
// do not exist on the offscreen platform. The whole run gets one private Xvfb.
#include "support/XServer.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    auto server = std::make_unique<vesko::test::XServer>();
    if (server->display().empty()) {
        std::fprintf(stderr, "shell tests: %s\n", server->problem().c_str());
        return 1;
    }
    qputenv("DISPLAY", server->display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int result = RUN_ALL_TESTS();
    return result;
}
