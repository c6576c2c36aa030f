// SPDX-License-Identifier: MIT
// Several rows marked with Shift+Down in the real window and moved to the private Trash with
// Delete: each item goes on its own, so one that vanished from disk is reported in an alert
// while the others still reach the Trash.
#include "e2e/WindowDriver.h"

#include <algorithm>
#include <filesystem>

namespace vesko::test {
namespace {

namespace fs = std::filesystem;

class TrashEndToEnd : public WindowDriver {
protected:
    std::string trashed(const std::string& path, const std::string& folder) const {
        const std::string name = fs::path(path).filename().string();
        return vesko.home.path("data/Trash/" + folder + "/" + name);
    }
    // In the Trash, with the record that puts it back where it was.
    bool inTrash(const std::string& path) const {
        return fs::exists(trashed(path, "files")) &&
               readFile(trashed(path, "info") + ".trashinfo").find("Path=" + path + "\n") !=
                   std::string::npos;
    }
    bool allTrashed(const std::vector<std::string>& paths) const {
        return std::all_of(paths.begin(), paths.end(), [&](const std::string& path) {
            return !fs::exists(path) && inTrash(path);
        });
    }
    // The marked rows' paths, one per line, as Ctrl+Alt+C copies them; empty until the
    // window has marked `count` rows.
    std::vector<std::string> copyMarked(const std::string& window, std::size_t count) const {
        std::vector<std::string> paths;
        pollUntil(
            [&] {
                keys(window, {"key", "ctrl+alt+c"});
                paths = splitLines(clipboard());
                return paths.size() == count;
            },
            milliseconds(5000));
        return paths.size() == count ? paths : std::vector<std::string>();
    }
};

TEST_F(TrashEndToEnd, DeleteTrashesEveryMarkedRowAndReportsTheOneThatVanished) {
    ASSERT_FALSE(x.display().empty()) << x.problem();
    std::vector<std::string> files;
    for (int i = 1; i <= 6; ++i)
        files.push_back(tree.file("pile/trash-me-" + std::to_string(i) + ".txt", "t"));
    const std::string keeper = tree.file("pile/keep-me.txt", "k");
    tree.file("elsewhere/nudge.txt");
    vesko.home.dir("data"); // a desktop session has one; Qt finds no home Trash without it

    ChildProcess app(
        windowLaunch({"--dev-root", tree.root(), "--dev-query", "trash-me", "--dev-select", "0"}));
    std::string window;
    ASSERT_TRUE(
        pollUntil([&] { return !(window = windowOf(app.pid())).empty(); }, milliseconds(15'000)));
    ASSERT_TRUE(pollUntil(
        [&] {
            keys(window, {"key", "ctrl+alt+c"});
            return clipboard().find("/trash-me-") != std::string::npos;
        },
        milliseconds(10'000)))
        << "the window never selected a row";

    // Down leaves the search field for the list; each Shift+Down marks one more row.
    keys(window, {"key", "Down", "shift+Down", "shift+Down", "shift+Down"});
    const auto marked = copyMarked(window, 4);
    ASSERT_EQ(marked.size(), 4u) << clipboard();
    keys(window, {"key", "Delete"});
    EXPECT_TRUE(pollUntil([&] { return allTrashed(marked); }, milliseconds(5000)));
    std::vector<std::string> remaining;
    for (const std::string& file : files)
        if (std::find(marked.begin(), marked.end(), file) == marked.end())
            remaining.push_back(file);
    ASSERT_EQ(remaining.size(), 2u);
    for (const std::string& file : remaining)
        EXPECT_EQ(readFile(file), "t") << file;
    EXPECT_EQ(readFile(keeper), "k");
    const auto focused = copyMarked(window, 1);
    ASSERT_EQ(focused.size(), 1u) << clipboard();
    EXPECT_NE(std::find(remaining.begin(), remaining.end(), focused.front()), remaining.end())
        << focused.front();

    // Both remaining rows marked, then one removed behind the window's back. The watcher
    // hands out its first change at once and holds later ones for its latency, so the
    // nudge makes sure Delete reaches the window while the vanished row is still listed.
    keys(window, {"key", "shift+Down"});
    const auto last = copyMarked(window, 2);
    ASSERT_EQ(last.size(), 2u) << clipboard();
    tree.file("elsewhere/nudge.txt", "n");
    fs::remove(last[0]);
    keys(window, {"key", "Delete"});
    std::string alert;
    EXPECT_TRUE(
        pollUntil([&] { return !(alert = windowOf(app.pid(), "Could not complete that")).empty(); },
                  milliseconds(5000)));
    EXPECT_TRUE(allTrashed({last[1]}));
    EXPECT_FALSE(inTrash(last[0]));
    // A key sent the moment the alert maps can arrive before it takes the focus; Escape
    // again is harmless, where a stray Return would open the focused row.
    if (!alert.empty()) {
        EXPECT_TRUE(pollUntil(
            [&] {
                keys(alert, {"key", "Escape"});
                return windowOf(app.pid(), "Could not complete that").empty();
            },
            milliseconds(5000)));
    }
    EXPECT_EQ(readFile(keeper), "k");

    keys(window, {"key", "ctrl+q"});
    const auto finished = app.wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
}

} // namespace
} // namespace vesko::test
