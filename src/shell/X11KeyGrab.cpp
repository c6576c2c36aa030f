// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/X11KeyGrab.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QChar>
#include <QCoreApplication>
#include <QPointer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace vesko {
namespace {

// NumLock is Mod2 on every common keymap; a lit lock key must not stop the shortcut.
constexpr std::uint16_t lockBits = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;
constexpr std::array<std::uint16_t, 4> lockVariants{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, lockBits};

struct NamedKey {
    int key;
    std::uint32_t keysym;
};

constexpr NamedKey namedKeys[] = {
    {Qt::Key_Escape, 0xff1b},         {Qt::Key_Tab, 0xff09},
    {Qt::Key_Backspace, 0xff08},      {Qt::Key_Return, 0xff0d},
    {Qt::Key_Enter, 0xff8d},          {Qt::Key_Insert, 0xff63},
    {Qt::Key_Delete, 0xffff},         {Qt::Key_Pause, 0xff13},
    {Qt::Key_Print, 0xff61},          {Qt::Key_SysReq, 0xff15},
    {Qt::Key_Home, 0xff50},           {Qt::Key_End, 0xff57},
    {Qt::Key_Left, 0xff51},           {Qt::Key_Up, 0xff52},
    {Qt::Key_Right, 0xff53},          {Qt::Key_Down, 0xff54},
    {Qt::Key_PageUp, 0xff55},         {Qt::Key_PageDown, 0xff56},
    {Qt::Key_Menu, 0xff67},           {Qt::Key_Space, 0x20},
    {Qt::Key_VolumeDown, 0x1008ff11}, {Qt::Key_VolumeMute, 0x1008ff12},
    {Qt::Key_VolumeUp, 0x1008ff13},   {Qt::Key_MediaPlay, 0x1008ff14},
    {Qt::Key_MediaStop, 0x1008ff15},  {Qt::Key_MediaPrevious, 0x1008ff16},
    {Qt::Key_MediaNext, 0x1008ff17},  {Qt::Key_Search, 0x1008ff1b},
};

std::uint16_t xcbModifiers(int modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & 0x1000) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 0x800) mask |= XCB_MOD_MASK_1;
    if (modifiers & 0x200) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 0x100) mask |= XCB_MOD_MASK_4;
    return mask;
}

std::vector<xcb_window_t> rootWindows(xcb_connection_t* connection) {
    std::vector<xcb_window_t> roots;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it)) {
        roots.push_back(it.data->root);
    }
    return roots;
}

std::vector<std::uint8_t> keycodesOf(xcb_connection_t* connection, std::uint32_t keysym) {
    std::vector<std::uint8_t> keycodes;
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
    if (!symbols) return keycodes;
    std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
        xcb_key_symbols_get_keycode(symbols.get(), keysym), &std::free);
    for (const xcb_keycode_t* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
        if (std::find(keycodes.begin(), keycodes.end(), *code) == keycodes.end()) {
            keycodes.push_back(*code);
        }
    }
    return keycodes;
}

// The grabs of the process, all served by one filter that Qt calls on the main thread.
class GrabFilter : public QAbstractNativeEventFilter {
public:
    static GrabFilter& instance() {
        static GrabFilter filter;
        if (filter.installedOn_ != QCoreApplication::instance()) {
            filter.installedOn_ = QCoreApplication::instance();
            if (filter.installedOn_) filter.installedOn_->installNativeEventFilter(&filter);
        }
        return filter;
    }
    void add(X11KeyGrab* grab) { grabs_.push_back(grab); }
    void remove(X11KeyGrab* grab) { std::erase(grabs_, grab); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const std::uint8_t kind = event->response_type & 0x7f;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) return false;
        const auto* key = static_cast<const xcb_key_press_event_t*>(message);
        // A copy: a press may delete its grab when the shortcut changes the setting.
        const std::vector<X11KeyGrab*> grabs = grabs_;
        for (X11KeyGrab* grab : grabs) {
            const bool mine = kind == XCB_KEY_PRESS
                                  ? grab->press(key->detail, key->state, key->time)
                                  : grab->release(key->detail, key->time);
            if (mine) return true;
        }
        return false;
    }

private:
    QPointer<QCoreApplication> installedOn_;
    std::vector<X11KeyGrab*> grabs_;
};

} // namespace

X11KeyGrab::X11KeyGrab(xcb_connection_t* connection, std::function<void()> pressed)
    : connection_(connection), pressed_(std::move(pressed)) {}

X11KeyGrab::~X11KeyGrab() {
    ungrab();
}

std::uint32_t X11KeyGrab::keysym(int key) {
    for (const NamedKey& named : namedKeys) {
        if (named.key == key) return named.keysym;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return 0xffbe + (key - Qt::Key_F1);
    if (key <= 0x20 || key > 0x10ffff || (key >= 0x7f && key < 0xa0)) return 0;
    // Qt names a letter key by its capital; the keymap lists the unshifted small letter.
    const char32_t lower = QChar::toLower(static_cast<char32_t>(key));
    // Latin-1 keysyms are the characters themselves, the rest of Unicode is offset.
    return lower < 0x100 ? lower : 0x01000000 | lower;
}

X11KeyGrab::Result X11KeyGrab::grab(int key, int modifiers) {
    ungrab();
    const std::uint32_t symbol = keysym(key);
    if (symbol != 0) keycodes_ = keycodesOf(connection_, symbol);
    if (keycodes_.empty()) return Result::notOnKeyboard;
    mask_ = xcbModifiers(modifiers);
    std::vector<xcb_void_cookie_t> cookies;
    for (xcb_window_t root : rootWindows(connection_)) {
        for (std::uint8_t keycode : keycodes_) {
            for (std::uint16_t locks : lockVariants) {
                cookies.push_back(xcb_grab_key_checked(connection_, 0, root, mask_ | locks, keycode,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            }
        }
    }
    bool refused = false;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    GrabFilter::instance().add(this);
    if (!refused) return Result::grabbed;
    ungrab();
    return Result::heldByAnother;
}

void X11KeyGrab::ungrab() {
    GrabFilter::instance().remove(this);
    if (keycodes_.empty()) return;
    // The server releases only this client's grabs, so a variant another client holds
    // stays untouched.
    for (xcb_window_t root : rootWindows(connection_)) {
        for (std::uint8_t keycode : keycodes_) {
            for (std::uint16_t locks : lockVariants) {
                xcb_ungrab_key(connection_, keycode, root, mask_ | locks);
            }
        }
    }
    xcb_flush(connection_);
    keycodes_.clear();
    held_ = false;
}

bool X11KeyGrab::ownsKeycode(std::uint8_t keycode) const {
    return std::find(keycodes_.begin(), keycodes_.end(), keycode) != keycodes_.end();
}

bool X11KeyGrab::press(std::uint8_t keycode, std::uint16_t state, std::uint32_t time) {
    if (!ownsKeycode(keycode) || (state & 0xff & ~lockBits) != mask_) return false;
    // Held keys repeat either as presses alone (detectable repeat) or as a release and a
    // press with the same time stamp; either way it is still the one press.
    const bool repeat = held_ || time == releasedAt_;
    held_ = true;
    if (!repeat && pressed_) pressed_();
    return true;
}

bool X11KeyGrab::release(std::uint8_t keycode, std::uint32_t time) {
    if (!held_ || !ownsKeycode(keycode)) return false;
    held_ = false;
    releasedAt_ = time;
    return true;
}

} // namespace vesko
