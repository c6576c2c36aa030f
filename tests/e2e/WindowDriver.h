// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the real executable as a user does: its own X server and window manager, keys sent
// through XTest (xdotool), the clipboard read back with xclip, and a private home so the
// index, preferences and Trash of a run stay in temporary folders.
#pragma once

#include "support/ProcessRunner.h"
#include "support/VeskoHome.h"
#include "support/XServer.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace vesko::test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline bool pollUntil(const std::function<bool()>& done, milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
}

// The bytes a file URI names: percent escapes decoded, the scheme and host left out.
inline std::string uriPath(const std::string& uri) {
    std::string path = uri.starts_with("file://") ? uri.substr(7) : uri;
    std::string bytes;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            bytes += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += path[i];
        }
    }
    return bytes;
}

// True while `pid` runs; a crashed child stays a zombie until it is reaped, so a signal
// alone would not tell.
inline bool isRunning(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

class WindowDriver : public ::testing::Test {
protected:
    WindowDriver() {
        vesko.home.dir("run");
        vesko.home.chmod("run", 0700);
        // Open and Show in File Manager end in xdg-open here (no session bus answers), so
        // a stand-in that writes down each argument shows what the window asked for.
        vesko.home.file("bin/xdg-open", "#!/bin/sh\nfor a; do printf '%s\\0' \"$a\" >> '" +
                                            vesko.home.path("opened") + "'; done\n");
        vesko.home.chmod("bin/xdg-open", 0755);
    }

    // The window on this test's display, in English, showing `arguments` (--dev-root and
    // the like).
    Launch windowLaunch(std::vector<std::string> arguments) const {
        auto launch = vesko.launch(std::move(arguments));
        launch.env.insert(launch.env.end(), {{"DISPLAY", x.display()},
                                             {"XDG_RUNTIME_DIR", vesko.home.path("run")},
                                             {"QT_QPA_PLATFORM", "xcb"},
                                             {"WAYLAND_DISPLAY", ""},
                                             {"LANGUAGE", "en"},
                                             {"PATH", vesko.home.path("bin") + ":" + searchPath()},
                                             {"DBUS_SESSION_BUS_ADDRESS",
                                              "unix:path=" + vesko.home.path("run/no-bus")}});
        launch.timeout = milliseconds(30'000);
        return launch;
    }

    Finished tool(std::vector<std::string> argv) const {
        Launch l;
        l.argv = std::move(argv);
        l.env = {{"DISPLAY", x.display()}};
        l.timeout = milliseconds(5000);
        return run(l);
    }
    Finished xdotool(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "/usr/bin/xdotool");
        return tool(std::move(arguments));
    }
    std::string clipboard(const std::string& type = {}) const {
        std::vector<std::string> argv = {"/usr/bin/xclip", "-o", "-selection", "clipboard"};
        if (!type.empty()) argv.insert(argv.end(), {"-t", type});
        return tool(std::move(argv)).out;
    }
    // The paths of the clipboard's text/uri-list, as bytes.
    std::vector<std::string> clipboardPaths() const {
        std::vector<std::string> paths;
        for (std::string line : splitLines(clipboard("text/uri-list"))) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) paths.push_back(uriPath(line));
        }
        return paths;
    }
    // What the stand-in xdg-open was asked to open since the last call, in order, as paths.
    // The file is only ever appended to: emptying it after reading would lose an opening
    // written between the read and the truncation.
    std::vector<std::string> takeOpened() const {
        const std::string all = readFile(vesko.home.path("opened"));
        const auto end = all.rfind('\0');
        if (end == std::string::npos || end + 1 <= openedTaken) return {};
        std::vector<std::string> paths;
        for (const std::string& uri :
             splitLines(all.substr(openedTaken, end + 1 - openedTaken), '\0'))
            paths.push_back(uriPath(uri));
        openedTaken = end + 1;
        return paths;
    }
    // Every visible window of `pid`, menus and dialogs included.
    std::vector<std::string> windowsOf(pid_t pid) const {
        return splitLines(
            xdotool({"search", "--all", "--onlyvisible", "--pid", std::to_string(pid), ""}).out);
    }
    // The first visible window of `pid` whose whole title is `title`; empty when none.
    // Without --all, xdotool returns windows that meet any one of the conditions.
    std::string windowOf(pid_t pid, const std::string& title = "Vesko") const {
        const auto ids = splitLines(xdotool({"search", "--all", "--onlyvisible", "--pid",
                                             std::to_string(pid), "--name", "^" + title + "$"})
                                        .out);
        return ids.empty() ? std::string() : ids.front();
    }
    // Keys through XTest go to the focused window, as a keyboard's would.
    void keys(const std::string& window, std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"windowactivate", "--sync", window});
        xdotool(std::move(arguments));
    }
    // Typed apart from other keys: xdotool run as "type … key …" in one call leaves the
    // window ignoring the shortcuts that follow.
    void type(const std::string& window, const std::string& text) const {
        keys(window, {"type", "--delay", "2", text});
    }

    static std::string searchPath() {
        const char* path = std::getenv("PATH");
        return path && *path ? path : "/usr/bin:/bin";
    }

    XServer x;
    VeskoHome vesko;
    TempTree tree;

private:
    mutable std::size_t openedTaken = 0; // bytes of "opened" already handed out
};

} // namespace vesko::test
