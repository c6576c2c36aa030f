// SPDX-License-Identifier: GPL-3.0-or-later
// Names that lie (not UTF-8 beside their repaired decoy, a line feed, a right-to-left
// override, 255 bytes, links, NFD) through every action that takes a row in the real window:
// the row is found by its path as Copy Path puts it in text/uri-list, then opened, shown in
// the file manager, renamed, trashed and exported, and the disk says which file was acted on.
#include "e2e/WindowDriver.h"
#include "support/OddNames.h"

#include <filesystem>
#include <memory>

namespace vesko::test {
namespace {

namespace fs = std::filesystem;

// Bytes as a test message can carry them: controls and non-ASCII escaped.
std::string printable(const std::string& bytes) {
    return ::testing::PrintToString(bytes);
}

bool present(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

class OddNamesEndToEnd : public WindowDriver {
protected:
    void SetUp() override {
        ASSERT_FALSE(x.display().empty()) << x.problem();
        vesko.home.dir("data");
        acted = makeOddNames(tree, "odd-act");
        trash = makeOddNames(tree, "odd-trash");
        auto launch = windowLaunch({"--dev-root", tree.root(), "--dev-query", "odd-act/"});
        launch.timeout = milliseconds(120'000);
        app = std::make_unique<ChildProcess>(launch);
        ASSERT_TRUE(pollUntil([&] { return !(window = windowOf(app->pid())).empty(); },
                              milliseconds(15'000)));
    }

    // The part of the name a query types: its ASCII start, short of the character an odd
    // byte follows (a combining mark changes the character before it).
    static std::string queryFor(const std::string& path) {
        const std::string folder = fs::path(path).parent_path().filename().string();
        const std::string name = fs::path(path).filename().string();
        std::size_t ascii = 0;
        while (ascii < 3 && static_cast<unsigned char>(name[ascii]) >= 0x20 &&
               static_cast<unsigned char>(name[ascii]) < 0x80)
            ++ascii;
        if (ascii < 3 && ascii > 1) --ascii;
        return folder + "/" + name.substr(0, ascii);
    }

    // Escape for whatever the last action left open (an alert, a dialog), so one failure
    // does not hold the keys of the next.
    void closeOthers() const {
        pollUntil(
            [&] {
                const auto windows = windowsOf(app->pid());
                for (const std::string& other : windows)
                    if (other != window) keys(other, {"key", "Escape"});
                return windows.size() <= 1;
            },
            milliseconds(10'000));
    }

    // Types a query that lists `path` and moves down the list until Copy Path gives exactly
    // its bytes; what the rows gave instead when none does.
    std::string select(const std::string& path) {
        closeOthers();
        keys(window, {"key", "ctrl+f"});
        type(window, queryFor(path));
        // A new query keeps the selected row number, so the walk starts from Home: the row
        // of an earlier select may stand below the wanted one (twins of one folded name).
        std::vector<std::string> copied;
        pollUntil(
            [&] {
                keys(window, {"key", "ctrl+alt+c"});
                copied = clipboardPaths();
                return !copied.empty() && copied.front().find(queryFor(path)) != std::string::npos;
            },
            milliseconds(10'000));
        keys(window, {"key", "Down", "Home"});
        std::string seen;
        for (int row = 0; row < 4; ++row) {
            if (!isRunning(app->pid())) return "Vesko died: " + app->wait().err;
            keys(window, {"key", "ctrl+alt+c"});
            copied = clipboardPaths();
            if (copied == std::vector<std::string>{path}) return {};
            seen += " [" + (copied.empty() ? std::string() : printable(copied.front())) + "]";
            keys(window, {"key", "Down"});
        }
        return "no row of \"" + queryFor(path) + "\" copies as " + printable(path) +
               "; the rows copied:" + seen;
    }

    // The entries of `paths` but `except` that are no longer on disk.
    static std::string othersStay(const std::vector<std::string>& paths,
                                  const std::string& except) {
        std::string missing;
        for (const std::string& path : paths)
            if (path != except && !present(path)) missing += " " + printable(path);
        return missing.empty() ? std::string() : "also gone:" + missing;
    }

    std::string dialogOf(const std::string& title) const {
        std::string dialog;
        // A file dialog reads its folder first; on a loaded machine that takes seconds.
        pollUntil([&] { return !(dialog = windowOf(app->pid(), title)).empty(); },
                  milliseconds(15'000));
        return dialog;
    }

    OddNames acted;
    OddNames trash;
    std::unique_ptr<ChildProcess> app;
    std::string window;
};

TEST_F(OddNamesEndToEnd, EveryActionTakesTheSelectedFileByItsBytes) {
    // Export: every listed path as stored, each followed by a line feed.
    const std::string exported = tree.path("exported.txt");
    keys(window, {"key", "ctrl+f"});
    type(window, "odd-act/");
    pollUntil(
        [&] {
            keys(window, {"key", "ctrl+alt+c"});
            return !clipboardPaths().empty();
        },
        milliseconds(10'000));
    // From the list: Ctrl+E in the search field is the session test's concern.
    keys(window, {"key", "Down", "ctrl+e"});
    if (const std::string dialog = dialogOf("Export Results.*"); !dialog.empty()) {
        keys(dialog, {"key", "ctrl+a"});
        type(dialog, exported);
        keys(dialog, {"key", "Return"});
    }
    EXPECT_TRUE(pollUntil([&] { return fs::exists(exported); }, milliseconds(10'000)))
        << "ctrl+e in the list exported nothing";
    if (fs::exists(exported)) {
        const std::string text = readFile(exported);
        std::size_t bytes = 0;
        for (const std::string& path : acted.all()) {
            bytes += path.size() + 1;
            EXPECT_NE(text.find(path + "\n"), std::string::npos)
                << "export lacks " << printable(path) << "; it holds " << printable(text);
        }
        EXPECT_EQ(text.size(), bytes) << printable(text);
    }

    int renamedCount = 0;
    for (const std::string& path : acted.all()) {
        SCOPED_TRACE(printable(path));
        if (const std::string problem = select(path); !problem.empty()) {
            ADD_FAILURE() << "copy path: " << problem;
            continue;
        }
        takeOpened();
        keys(window, {"key", "Return"});
        std::vector<std::string> asked;
        pollUntil([&] { return !(asked = takeOpened()).empty(); }, milliseconds(10'000));
        EXPECT_EQ(asked, std::vector<std::string>{path}) << "Return opened something else";
        keys(window, {"key", "ctrl+Return"});
        pollUntil([&] { return !(asked = takeOpened()).empty(); }, milliseconds(10'000));
        EXPECT_EQ(asked, std::vector<std::string>{fs::path(path).parent_path().string()})
            << "Show in File Manager showed something else";

        const std::string renamed =
            tree.path("odd-act/renamed-" + std::to_string(++renamedCount) + ".txt");
        keys(window, {"key", "F2"});
        const std::string dialog = dialogOf("Rename");
        if (dialog.empty()) {
            ADD_FAILURE() << "F2 showed no Rename dialog";
            continue;
        }
        keys(dialog, {"key", "ctrl+a"});
        type(dialog, fs::path(renamed).filename().string());
        keys(dialog, {"key", "Return"});
        EXPECT_TRUE(pollUntil([&] { return present(renamed); }, milliseconds(10'000)))
            << "F2 renamed nothing to " << renamed;
        EXPECT_FALSE(present(path)) << "F2 left the selected file in place";
        // Undone here, so the next rows still see the corpus as it was made.
        if (present(renamed) && !present(path)) fs::rename(renamed, path);
        EXPECT_EQ(othersStay(acted.all(), path), "") << "F2 renamed another file";
        if (!isRunning(app->pid())) FAIL() << "Vesko died: " << app->wait().err;
        closeOthers();
    }

    // The longest name last: a Trash that cannot hold its record must not hold up the rest.
    std::vector<std::string> order = trash.all();
    std::erase(order, trash.longest);
    order.push_back(trash.longest);
    std::vector<std::string> untrashed = order;
    const auto trashed = [&] {
        std::error_code error;
        const fs::directory_iterator items(vesko.home.path("data/Trash/files"), error);
        return error ? 0 : std::distance(items, fs::directory_iterator());
    };
    auto inTrash = trashed();
    for (const std::string& path : order) {
        SCOPED_TRACE(printable(path));
        std::erase(untrashed, path);
        if (const std::string problem = select(path); !problem.empty()) {
            ADD_FAILURE() << "copy path: " << problem;
            continue;
        }
        keys(window, {"key", "Delete"});
        // Gone, or an alert says why not.
        pollUntil([&] { return !present(path) || windowsOf(app->pid()).size() > 1; },
                  milliseconds(10'000));
        if (present(path) && windowsOf(app->pid()).size() <= 1) {
            ADD_FAILURE() << "Delete neither moved the file nor said why; Vesko "
                          << (isRunning(app->pid()) ? "stopped answering" : "died");
            return; // the fixture ends the process
        }
        EXPECT_FALSE(present(path)) << "Delete left the selected file in place";
        EXPECT_EQ(othersStay(untrashed, path), "") << "Delete trashed another file";
        // The Trash may store an item under another name (one too long for its record is
        // shortened), so what counts is one more item there.
        EXPECT_EQ(trashed(), ++inTrash) << "the Trash did not receive the file";
        if (!isRunning(app->pid())) FAIL() << "Vesko died: " << app->wait().err;
        closeOthers();
    }

    closeOthers();
    keys(window, {"key", "ctrl+q"});
    const auto finished = app->wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
}

} // namespace
} // namespace vesko::test
