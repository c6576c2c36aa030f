// SPDX-License-Identifier: MIT
// Drives the real executable as a user does: its own X server and window manager, keys sent
// through XTest (xdotool), the clipboard read back with xclip, and a private home so the
// index, preferences and Trash of a run stay in temporary folders.
#pragma once

#include "support/ChildProcess.h"
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

class WindowDriver : public ::testing::Test {
protected:
    WindowDriver() {
        vesko.home.dir("run");
        vesko.home.chmod("run", 0700);
    }

    // The window on this test's display, in English, showing `arguments` (--dev-root and
    // the like).
    Launch windowLaunch(std::vector<std::string> arguments) const {
        auto launch = vesko.launch(std::move(arguments));
        launch.env.insert(launch.env.end(), {{"DISPLAY", x.display()},
                                             {"XDG_RUNTIME_DIR", vesko.home.path("run")},
                                             {"QT_QPA_PLATFORM", "xcb"},
                                             {"WAYLAND_DISPLAY", ""},
                                             {"LANGUAGE", "en"}});
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
    std::string clipboard() const {
        return tool({"/usr/bin/xclip", "-o", "-selection", "clipboard"}).out;
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
    // Copies the marked rows' paths until the clipboard holds `expected`: the selection
    // and the rows arrive asynchronously, so one early key press may copy nothing.
    bool copiesPath(const std::string& window, const std::string& expected,
                    milliseconds patience) const {
        return pollUntil(
            [&] {
                keys(window, {"key", "ctrl+alt+c"});
                return clipboard() == expected;
            },
            patience);
    }

    XServer x;
    VeskoHome vesko;
    TempTree tree;
};

} // namespace vesko::test
