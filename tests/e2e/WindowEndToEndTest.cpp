// SPDX-License-Identifier: MIT
// The real executable driven as a user drives it: its own X server and window
// manager, keys sent through XTest (xdotool), the copied path read back from the clipboard
// (xclip), and a file created while the window runs, found by typing its name.
#include "e2e/WindowDriver.h"

#include <unistd.h>

namespace vesko::test {
namespace {

using WindowEndToEnd = WindowDriver;

TEST_F(WindowEndToEnd, CopiesTheSelectedPathAndFindsAFileCreatedWhileRunning) {
    ASSERT_FALSE(x.display().empty()) << x.problem();
    const std::string first = tree.file("docs/quarterly-report.txt", "q");
    tree.file("docs/notes.txt");

    ChildProcess app(windowLaunch(
        {"--dev-root", tree.root(), "--dev-query", "quarterly-report", "--dev-select", "0"}));

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
    EXPECT_TRUE(copiesPath(window, created, milliseconds(10'000))) << clipboard();
    std::printf("new file copied %lld ms after typing\n",
                static_cast<long long>(
                    std::chrono::duration_cast<milliseconds>(Clock::now() - typed).count()));

    keys(window, {"key", "ctrl+q"});
    const auto finished = app.wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
}

} // namespace
} // namespace vesko::test
