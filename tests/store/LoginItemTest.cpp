// SPDX-License-Identifier: MIT
#include "store/LoginItem.h"

#include "StoreFixture.h"
#include "support/ScopedEnv.h"
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

TEST(LoginItem, UnavailableWhenTheFolderCannotBeMade) {
    test::TempTree config;
    config.file("autostart"); // a file where the folder should be
    EXPECT_EQ(LoginItem::state(config.path("autostart")), State::unavailable);
    EXPECT_EQ(LoginItem::state(config.path("autostart/deeper")), State::unavailable);
    if (::geteuid() == 0) return; // root writes anywhere
    config.dir("locked");
    config.chmod("locked", 0500);
    EXPECT_EQ(LoginItem::state(config.path("locked/autostart")), State::unavailable);
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

class LoginItemStore : public test::StoreFixture {};

// The store keeps the system's words for why switching failed, and the state says the
// switch cannot be used.
TEST_F(LoginItemStore, AFolderThatCannotBeWrittenIsReported) {
    struct Case {
        const char* name;
        bool needsPermissions; // root writes anywhere
        const char* problem;
    };
    const Case cases[] = {
        {"a file where the folder should be", false, std::strerror(ENOTDIR)},
        {"a read-only configuration folder", true, std::strerror(EACCES)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsPermissions && ::geteuid() == 0) continue;
        test::TempTree config;
        if (c.needsPermissions) {
            config.dir("config");
            config.chmod("config", 0500);
        } else {
            config.file("config/autostart");
        }
        test::ScopedEnv env("XDG_CONFIG_HOME", config.path("config"));
        auto store = makeStore();
        store->setLoginItem(true);
        EXPECT_EQ(store->loginItem(), State::unavailable);
        EXPECT_EQ(store->loginItemProblem(), QString::fromUtf8(c.problem));
    }
}

} // namespace
} // namespace vesko
