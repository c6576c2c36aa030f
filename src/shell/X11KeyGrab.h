// SPDX-License-Identifier: GPL-3.0-or-later
// A passive key grab on the X11 root window: the X server sends the key to Vesko whichever
// window has the focus. Grabbed presses arrive through one native event filter per process.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace vesko {

class X11KeyGrab {
public:
    enum class Result { grabbed, heldByAnother, notOnKeyboard };

    // `pressed` runs on the main thread for each press, never for the keyboard's repeats.
    X11KeyGrab(xcb_connection_t* connection, std::function<void()> pressed);
    // Ungrabs whatever was grabbed.
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab&) = delete;
    X11KeyGrab& operator=(const X11KeyGrab&) = delete;

    // `key` is a Qt::Key, `modifiers` the stored mask (Super 0x100, Shift 0x200, Alt 0x800,
    // Ctrl 0x1000). All or nothing: when any variant is refused, nothing stays grabbed.
    Result grab(int key, int modifiers);

    // The X11 keysym of a Qt::Key, or 0 when the key has none.
    static std::uint32_t keysym(int key);

    // For the process's event filter: each answers whether the event was this grab's. A
    // release belongs to the held key whatever modifiers are still down.
    bool press(std::uint8_t keycode, std::uint16_t state, std::uint32_t time);
    bool release(std::uint8_t keycode, std::uint32_t time);

private:
    void ungrab();
    bool ownsKeycode(std::uint8_t keycode) const;

    xcb_connection_t* connection_;
    std::function<void()> pressed_;
    std::vector<std::uint8_t> keycodes_;
    std::uint16_t mask_ = 0;
    bool held_ = false;
    std::uint32_t releasedAt_ = 0;
};

} // namespace vesko
