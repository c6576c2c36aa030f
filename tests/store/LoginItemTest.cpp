// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LoginItem.h"

#include "support/ChildProcess.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace vesko {
namespace {

using LoginItem::State;

TEST(LoginItem, StateFromTheAutostartEntry) {
    struct Case {
        const char* name;
        const char* entry; // null: no file
        State expected;
    };
    const Case cases[] = {
        {"absent", nullptr, State::off},
        {"plain entry", "[Desktop Entry]\nType=Application\nExec=vesko\n", State::on},
        {"hidden", "[Desktop Entry]\nHidden=true\n", State::off},
        {"hidden with spaces", "[Desktop Entry]\nHidden = true\r\n", State::off},
        {"GNOME switch off", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", State::off},
        {"GNOME switch on", "[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n", State::on},
        {"hidden=false", "[Desktop Entry]\nHidden=false\n", State::on},
        {"hidden in an action group",
         "[Desktop Entry]\nExec=vesko\n[Desktop Action x]\nHidden=true\n", State::on},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempTree config;
        const std::string folder = config.path("autostart");
        if (c.entry) config.file(std::string("autostart/") + LoginItem::fileName, c.entry);
        EXPECT_EQ(LoginItem::state(folder), c.expected);
    }
}

TEST(LoginItem, SwitchingOnAndOffRoundTrips) {
    test::TempTree config;
    const std::string folder = config.path("fresh/autostart"); // neither folder exists yet
    const std::string entry = folder + "/" + LoginItem::fileName;
    EXPECT_EQ(LoginItem::set(folder, true), std::nullopt);
    EXPECT_EQ(LoginItem::state(folder), State::on);
    EXPECT_NE(test::readFile(entry).find("\nExec=vesko --hidden\n"), std::string::npos);

    // The desktop's own switch writes Hidden=true; turning Vesko on again must win over it.
    config.file("fresh/autostart/" + std::string(LoginItem::fileName),
                "[Desktop Entry]\nExec=vesko --hidden\nHidden=true\n");
    ASSERT_EQ(LoginItem::state(folder), State::off);
    EXPECT_EQ(LoginItem::set(folder, true), std::nullopt);
    EXPECT_EQ(LoginItem::state(folder), State::on);

    EXPECT_EQ(LoginItem::set(folder, false), std::nullopt);
    EXPECT_EQ(LoginItem::state(folder), State::off);
    EXPECT_EQ(LoginItem::set(folder, false), std::nullopt) << "already off is no failure";
    // Nothing but the entry itself: no temporary left behind.
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A folder that cannot be made leaves the switch unavailable, and switching says why in the
// system's words, for the settings page to show.
TEST(LoginItem, AFolderThatCannotBeMadeOrWrittenIsReported) {
    test::TempTree config;
    config.file("config/autostart"); // a file where the folder should be
    EXPECT_EQ(LoginItem::state(config.path("config/autostart")), State::unavailable);
    EXPECT_EQ(LoginItem::state(config.path("config/autostart/deeper")), State::unavailable);
    EXPECT_EQ(LoginItem::set(config.path("config/autostart"), true), std::strerror(ENOTDIR));
    config.dir("locked");
    config.chmod("locked", 0500);
    const int code = test::runUnprivileged([&] {
        return LoginItem::state(config.path("locked/autostart")) == State::unavailable &&
                       LoginItem::set(config.path("locked/autostart"), true) ==
                           std::strerror(EACCES)
                   ? 0
                   : 1;
    });
    if (code == test::cannotSetUpChild) GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(code, 0);
}

} // namespace
} // namespace vesko
