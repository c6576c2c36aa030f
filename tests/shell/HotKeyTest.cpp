// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HotKey.h"
#include "ShellTestSupport.h"
#include "shell/PortalShortcut.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>

namespace vesko {
namespace {

constexpr std::uint32_t controlL = 0xffe3, f7 = 0xffc4, f8 = 0xffc5, numLock = 0xff7f;

// Another X client on the test's server: it types through XTest and grabs keys of its own.
class OtherClient {
public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        symbols_ = xcb_key_symbols_alloc(connection_);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~OtherClient() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }

    xcb_keycode_t keycode(std::uint32_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        return code;
    }
    // Presses the keys in order and releases them in reverse, as fingers do.
    void chord(std::initializer_list<std::uint32_t> keysyms) {
        for (std::uint32_t keysym : keysyms)
            fake(XCB_KEY_PRESS, keycode(keysym));
        for (auto it = std::rbegin(keysyms); it != std::rend(keysyms); ++it) {
            fake(XCB_KEY_RELEASE, keycode(*it));
        }
        xcb_flush(connection_);
    }
    bool grab(std::uint32_t keysym, std::uint16_t mask) {
        const auto cookie = xcb_grab_key_checked(connection_, 0, root_, mask, keycode(keysym),
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
        std::free(error);
        return error == nullptr;
    }

private:
    void fake(std::uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(connection_, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }

    xcb_connection_t* connection_;
    xcb_key_symbols_t* symbols_;
    xcb_window_t root_;
};

// Waits until the server has handled everything the application's connection sent.
void syncApplication() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    std::free(xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()),
                                        nullptr));
}

TEST(HotKeyTest, PressFromAnyWindowActivatesAlsoWithNumLockOn) {
    HotKey key(HotKeySetting{});
    ASSERT_TRUE(key.registerKey()) << key.problem().toStdString();
    QSignalSpy activated(&key, &HotKey::activated);
    OtherClient keyboard;
    keyboard.chord({controlL, f7});
    ASSERT_TRUE(activated.wait(5000));

    // Two quick presses must not look like the keyboard's repeat (same time stamp).
    QTest::qWait(20);
    keyboard.chord({numLock});
    keyboard.chord({controlL, f7});
    ASSERT_TRUE(activated.wait(5000));
    // NumLock alone activates nothing: a second key grabbed on the same connection arrives
    // after anything the NumLock presses could have caused.
    HotKey barrier(HotKeySetting{0x01000037, 0x1000}); // Ctrl+F8
    ASSERT_TRUE(barrier.registerKey());
    QSignalSpy barrierPressed(&barrier, &HotKey::activated);
    keyboard.chord({numLock});
    keyboard.chord({controlL, f8});
    ASSERT_TRUE(barrierPressed.wait(5000));
    EXPECT_EQ(activated.count(), 2);
}

TEST(HotKeyTest, KeyHeldByAnotherClientFailsAndIsFreedOnRelease) {
    constexpr std::uint16_t ctrl = XCB_MOD_MASK_CONTROL;
    OtherClient other;
    {
        HotKey mine(HotKeySetting{});
        ASSERT_TRUE(mine.registerKey());
        syncApplication();
        EXPECT_FALSE(other.grab(f7, ctrl));
    }
    syncApplication();
    ASSERT_TRUE(other.grab(f7, ctrl));

    HotKey refused(HotKeySetting{});
    EXPECT_FALSE(refused.registerKey());
    EXPECT_EQ(refused.problem(), "Ctrl+F7 is already in use by another app.");
    // The variants it could take before the refusal were given back.
    syncApplication();
    EXPECT_TRUE(other.grab(f7, ctrl | XCB_MOD_MASK_2));
}

TEST(HotKeyTest, BusWithoutThePortalReportsUnavailable) {
    const test::PrivateBus daemon;
    if (daemon.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    {
        QDBusConnection bus = QDBusConnection::connectToBus(daemon.address(), "portal-test");
        PortalShortcut portal(bus);
        QSignalSpy unavailable(&portal, &PortalShortcut::unavailable);
        ASSERT_TRUE(portal.start("CTRL+F7", "toggle"));
        EXPECT_TRUE(unavailable.wait(10000));
    }
    QDBusConnection::disconnectFromBus("portal-test");
}

} // namespace
} // namespace vesko
