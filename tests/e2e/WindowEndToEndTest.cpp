// SPDX-License-Identifier: MIT
// The real executable driven as a user drives it: its own X server and window
// manager, keys sent through XTest (xdotool), the copied path read back from the clipboard
// (xclip), and a file created while the window runs, found by typing its name.
#include "support/ChildProcess.h"
#include "support/ProcessRunner.h"
#include "support/VeskoHome.h"
#include "support/XServer.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace vesko {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool pollUntil(const std::function<bool()>& done, milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
}

class WindowEndToEnd : public ::testing::Test {
protected:
    WindowEndToEnd() {
        vesko.home.dir("run");
        vesko.home.chmod("run", 0700);
    }

    test::Finished tool(std::vector<std::string> argv) const {
        test::Launch l;
        l.argv = std::move(argv);
        l.env = {{"DISPLAY", x.display()}};
        l.timeout = milliseconds(5000);
        return test::run(l);
    }
    test::Finished xdotool(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "/usr/bin/xdotool");
        return tool(std::move(arguments));
    }
    std::string clipboard() const {
        return tool({"/usr/bin/xclip", "-o", "-selection", "clipboard"}).out;
    }
    std::string windowOf(pid_t pid) const {
        const auto ids = test::splitLines(
            xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid), "--name", "^Vesko$"})
                .out);
        return ids.empty() ? std::string() : ids.front();
    }
    // Keys through XTest go to the focused window, as a keyboard's would.
    void keys(const std::string& window, std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"windowactivate", "--sync", window});
        xdotool(std::move(arguments));
    }
    // Copies the selected row's path until the clipboard holds `expected`: the selection
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

    test::XServer x;
    test::VeskoHome vesko;
    test::TempTree tree;
};

TEST_F(WindowEndToEnd, CopiesTheSelectedPathAndFindsAFileCreatedWhileRunning) {
    ASSERT_FALSE(x.display().empty()) << x.problem();
    const std::string first = tree.file("docs/quarterly-report.txt", "q");
    tree.file("docs/notes.txt");

    auto launch = vesko.launch(
        {"--dev-root", tree.root(), "--dev-query", "quarterly-report", "--dev-select", "0"});
    launch.env.insert(launch.env.end(), {{"DISPLAY", x.display()},
                                         {"XDG_RUNTIME_DIR", vesko.home.path("run")},
                                         {"QT_QPA_PLATFORM", "xcb"},
                                         {"WAYLAND_DISPLAY", ""},
                                         {"LANGUAGE", "en"}});
    launch.timeout = milliseconds(30'000);
    test::ChildProcess app(launch);

    std::string window;
    ASSERT_TRUE(
        pollUntil([&] { return !(window = windowOf(app.pid())).empty(); }, milliseconds(15'000)));
    ASSERT_TRUE(copiesPath(window, first, milliseconds(10'000))) << clipboard();

    // Unique per run, so no name in the tree or a previous run's index can answer for it.
    const std::string name = "fresh-" + std::to_string(::getpid()) + "-" +
                             std::to_string(Clock::now().time_since_epoch().count()) + ".txt";
    const std::string created = tree.file("docs/" + name, "new");
    keys(window, {"key", "ctrl+f", "ctrl+a", "type", "--delay", "5", name});
    const auto typed = Clock::now();
    EXPECT_TRUE(copiesPath(window, created, milliseconds(2000))) << clipboard();
    std::printf("new file copied %lld ms after typing\n",
                static_cast<long long>(
                    std::chrono::duration_cast<milliseconds>(Clock::now() - typed).count()));

    keys(window, {"key", "ctrl+q"});
    const auto finished = app.wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
}

} // namespace
} // namespace vesko
