// SPDX-License-Identifier: GPL-3.0-or-later
// A person's session with the real executable: every key the window names (menu shortcuts,
// the list's keys, the preview's, the settings window's and the standard edit keys), pressed
// with the focus in each place a person leaves it, and for each the process still runs and
// the documented effect happened on the clipboard, on disk or on screen. One Vesko serves
// each place; one that dies is reported with the key that killed it and started again, so a
// crash does not hide what the keys after it do.
#include "e2e/WindowDriver.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>

namespace vesko::test {
namespace {

namespace fs = std::filesystem;

enum Place : unsigned { field = 1, list = 2, sidebar = 4, settings = 8, preview = 16 };
constexpr unsigned inMainWindow = field | list | sidebar;

const char* nameOf(Place place) {
    return place == field      ? "search field"
           : place == list     ? "result list"
           : place == sidebar  ? "sidebar"
           : place == settings ? "settings window"
                               : "preview";
}

constexpr const char* query = "report";
// Generous: every check waits for something that must happen, and a busy machine takes seconds.
constexpr milliseconds patience(10'000);

// The second check runs after the first (the operands of + have no order).
std::string then(const std::string& first, const std::function<std::string()>& second) {
    return first + second();
}

std::string joined(const std::vector<std::string>& lines, const std::string& end = {}) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() ? "\n" : end);
    return text;
}

class SessionEndToEnd : public WindowDriver {
protected:
    // `keys`: xdotool key names separated by spaces; "type:TEXT" types TEXT, "dialog:TEXT"
    // types it over the text of the dialog the key before opened. `check`
    // returns what went wrong, or nothing when the effect happened. "{place}" in `victim`
    // and `keys` is the place's own word, so a step that moves a file acts on a file of its
    // own in each place.
    struct Step {
        unsigned places;
        std::string keys;
        std::string effect;
        std::function<std::string(SessionEndToEnd&, Place)> check;
        std::string victim = {}; // a file of its own, queried and selected instead of "report"
    };

    static std::string word(Place place) {
        const std::string name = nameOf(place);
        return name.substr(name.rfind(' ') + 1);
    }
    static std::string expand(std::string text, Place place) {
        for (auto at = text.find("{place}"); at != std::string::npos; at = text.find("{place}"))
            text.replace(at, 7, word(place));
        return text;
    }
    std::string victimPath(const Step& step, Place place) const {
        return tree.path("victims/" + expand(step.victim, place));
    }

    // The one table: adding a key is one line here.
    std::vector<Step> table() {
        using S = SessionEndToEnd;
        const std::string exported = tree.path("exported-{place}.txt");
        return {
            // Edit keys: the focused widget's own behaviour, never a crash.
            {field, "ctrl+a ctrl+c", "the query copied as text",
             [](S& s, Place) { return s.clipboardIs(query); }},
            {field, "ctrl+a ctrl+x", "the query cut to the clipboard, the field emptied",
             [](S& s, Place) { return then(s.clipboardIs(query), [&] { return s.fieldIs(""); }); }},
            {field, "ctrl+a ctrl+v",
             "the clipboard's text (the second row's path) replaces the query",
             [](S& s, Place) { return s.fieldIs(s.rows_[1]); }},
            {field, "ctrl+a BackSpace ctrl+z", "the deleted query comes back",
             [](S& s, Place) { return s.fieldIs(query); }},
            {field, "ctrl+a BackSpace ctrl+z ctrl+shift+z", "the deletion is redone",
             [](S& s, Place) { return s.fieldIs(""); }},
            {list, "ctrl+c", "the selected path copied",
             [](S& s, Place) { return s.clipboardIs(s.rows_[0]); }},
            {list, "ctrl+a", "every row marked", [](S& s, Place) { return s.copies(s.rows_); }},
            {list, "ctrl+v ctrl+x ctrl+z", "nothing: the selection and the files stay",
             [](S& s, Place) {
                 return then(s.copies({s.rows_[0]}), [&] { return s.filesIntact(); });
             }},
            {sidebar | settings | preview, "ctrl+a ctrl+c ctrl+x ctrl+v ctrl+z ctrl+shift+z",
             "the window stays as it was", [](S& s, Place p) { return s.placeStays(p); }},
            {sidebar | settings | preview, "ctrl+c", "the window stays as it was",
             [](S& s, Place p) { return s.placeStays(p); }},

            // The list's keys, as the status bar names them; Return, Ctrl+Return, F2 and Delete
            // are the odd-names test's, which tells the file they act on by its bytes.
            {field, "Down", "the list takes the focus; the next Down selects the second row",
             [](S& s, Place) {
                 return then(s.afterKeys("Down"), [&] { return s.copies({s.rows_[1]}); });
             }},
            {field, "ctrl+a BackSpace Down",
             "the search history shown (the copies recorded the query)",
             [](S& s, Place) { return s.menuShown(); }},
            {list, "Down", "the second row selected",
             [](S& s, Place) { return s.copies({s.rows_[1]}); }},
            {list, "End", "the last row selected",
             [](S& s, Place) { return s.copies({s.rows_.back()}); }},
            {list, "Down Down Home", "the first row selected",
             [](S& s, Place) { return s.copies({s.rows_[0]}); }},
            {list, "shift+Down", "two rows marked",
             [](S& s, Place) {
                 return s.copies({s.rows_[0], s.rows_[1]});
             }},
            {list, "Up", "back in the search field", [](S& s, Place) { return s.inField(); }},
            {list, "Escape", "back in the search field", [](S& s, Place) { return s.inField(); }},
            {list | sidebar, "ctrl+f", "back in the search field",
             [](S& s, Place) { return s.inField(); }},
            {list, "space", "the preview of the selected file shown",
             [](S& s, Place) { return s.shown(s.rowName(0)); }},
            {list, "Menu", "the context menu shown", [](S& s, Place) { return s.menuShown(); }},
            {list, "Delete ctrl+z", "the trashed file back in its place",
             [](S& s, Place) { return s.fileHolds(s.tree.path("victims/undo.txt"), "victim"); },
             "undo.txt"},

            // The menu bar's shortcuts, wherever the focus is in the main window.
            {inMainWindow, "ctrl+alt+c", "the selected path copied as text and as a URI",
             [](S& s, Place) {
                 return then(s.clipboardIs(s.rows_[0]), [&] { return s.urisAre({s.rows_[0]}); });
             }},
            {inMainWindow, "ctrl+o", "the selected file opened",
             [](S& s, Place) { return s.opened(s.rows_[0]); }},
            {inMainWindow, "ctrl+shift+r", "the selected file's folder shown",
             [](S& s, Place) { return s.opened(fs::path(s.rows_[0]).parent_path()); }},
            {inMainWindow, "ctrl+Delete", "the selected file moved to the Trash",
             [](S& s, Place p) {
                 return s.trashed(s.tree.path(expand("victims/ctrl-delete-{place}.txt", p)));
             },
             "ctrl-delete-{place}.txt"},
            {inMainWindow, "ctrl+e dialog:" + exported + " Return", "every row exported",
             [exported](S& s, Place p) {
                 return s.fileHolds(expand(exported, p), joined(s.rows_, "\n"));
             }},
            {inMainWindow, "ctrl+y", "the preview of the selected file shown",
             [](S& s, Place) { return s.shown(s.rowName(0)); }},
            {inMainWindow, "ctrl+comma", "the settings window shown",
             [](S& s, Place) { return s.shown("Settings"); }},
            {inMainWindow, "ctrl+alt+s", "the sidebar hidden (and the setting kept)",
             [](S& s, Place) { // shown again for the next steps
                 return then(s.settingHas("showSidebar=false\n"),
                             [&] { return s.afterKeys("ctrl+alt+s"); });
             }},
            {inMainWindow, "ctrl+s dialog:mine Return", "the search saved",
             [](S& s, Place) { return s.settingHas("mine"); }},
            {field, "ctrl+a type:beta ctrl+1", "the first saved search applied",
             [](S& s, Place) { return s.fieldIs(query); }},
            {inMainWindow, "ctrl+r", "a rescan that keeps the index searchable",
             [](S& s, Place) {
                 return then(s.afterKeys("ctrl+f"), [&] { return s.copies({s.rows_[0]}); });
             }},
            {inMainWindow, "ctrl+w", "the window closed",
             [](S& s, Place) { return s.hidden("Vesko"); }},
            {inMainWindow, "ctrl+m", "the window minimized",
             [](S& s, Place) { return s.hidden("Vesko"); }},
            {inMainWindow, "ctrl+F7", "the hot key hides the window and shows it again",
             [](S& s, Place) { return then(s.hidden("Vesko"), [&] { return s.hotKeyShows(); }); }},

            // The settings window and the preview.
            {settings, "Escape", "the settings window closed",
             [](S& s, Place) { return s.hidden("Settings"); }},
            {settings, "ctrl+w", "the settings window closed",
             [](S& s, Place) { return s.hidden("Settings"); }},
            {preview, "Down", "the preview follows the second row",
             [](S& s, Place) { return s.shown(s.rowName(1)); }},
            {preview, "Down Up", "the preview back on the first row",
             [](S& s, Place) { return s.shown(s.rowName(0)); }},
            {preview, "space", "the preview hidden",
             [](S& s, Place) { return s.hidden(s.rowName(0)); }},
            {preview, "Escape", "the preview hidden",
             [](S& s, Place) { return s.hidden(s.rowName(0)); }},
        };
    }

    void SetUp() override {
        ASSERT_FALSE(x.display().empty()) << x.problem();
        vesko.home.dir("data"); // a desktop session has one; Qt finds no home Trash without it
        // Copy Path counts as a use and used files rank first: the reports start out used
        // alike and often, so the copies the steps make leave their order as it was.
        std::string uses = "vesko used files 1\n";
        for (const char* name : {"alpha-report.txt", "beta-report.txt", "gamma-report.md"})
            uses += "16\t" + std::to_string(std::time(nullptr)) + "\t" +
                    tree.file(std::string("docs/") + name, name) + "\n";
        vesko.home.file("config/vesko/used-files", uses);
        for (const Step& step : table())
            if (!step.victim.empty())
                for (Place place : {field, list, sidebar})
                    tree.file("victims/" + expand(step.victim, place), "victim");
    }

    // Runs every step of the table that applies to `place`, each reported on its own.
    void session(Place place) {
        start();
        ASSERT_EQ(rows_.size(), 3u) << "the list never showed the three reports";
        for (const Step& step : table()) {
            if (!(step.places & place)) continue;
            const std::string keysText = expand(step.keys, place);
            const std::string where = std::string(nameOf(place)) + ", " + keysText + ": ";
            if (!isRunning(app_->pid())) start();
            if (rows_.size() != 3) {
                ADD_FAILURE() << where << "Vesko, started again, never showed the three reports";
                return;
            }
            const std::string victim = step.victim.empty() ? "" : victimPath(step, place);
            if (const std::string problem = enter(place, victim); !problem.empty()) {
                ADD_FAILURE() << where << "could not put the focus there: " << problem;
                continue;
            }
            press(place, keysText);
            std::string problem = step.check(*this, place);
            if (!isRunning(app_->pid())) problem = died();
            if (!problem.empty())
                ADD_FAILURE() << where << "expected " << step.effect << "; " << problem;
        }
        if (!isRunning(app_->pid())) start();
        dismiss();
        keys(window_, {"key", "ctrl+q"});
        const auto finished = app_->wait();
        EXPECT_EQ(finished.status, 0) << nameOf(place) << ", ctrl+q: " << finished.err;
    }

    void start() {
        if (app_) app_->wait();
        auto launch =
            windowLaunch({"--dev-root", tree.root(), "--dev-query", query, "--dev-select", "0"});
        launch.timeout = milliseconds(120'000);
        app_ = std::make_unique<ChildProcess>(launch);
        window_.clear();
        rows_.clear(); // a new scan may list equal hits in another order
        pollUntil([&] { return !(window_ = windowOf(app_->pid())).empty(); }, milliseconds(15'000));
        if (!window_.empty()) learnRows();
    }

    // The three reports in list order, read through Copy Path. The window can show before
    // its list is ready, and a Down typed in the field then moves no focus: a read that
    // repeats a row starts the whole walk again instead of learning the row twice.
    void learnRows() {
        const auto deadline = std::chrono::steady_clock::now() + 3 * patience;
        while (std::chrono::steady_clock::now() < deadline) {
            rows_.clear();
            keys(window_, {"key", "ctrl+f", "Down", "Home"});
            for (int row = 0; row < 3; ++row) {
                if (row > 0) keys(window_, {"key", "Down"});
                std::string path;
                const bool fresh = pollUntil(
                    [&] {
                        keys(window_, {"key", "ctrl+alt+c"});
                        path = clipboard();
                        return path.find("-report.") != std::string::npos &&
                               std::find(rows_.begin(), rows_.end(), path) == rows_.end();
                    },
                    milliseconds(2000));
                if (!fresh) break;
                rows_.push_back(path);
            }
            if (rows_.size() == 3) return;
        }
        rows_.clear();
    }

    // What the child's end looked like, as far as it tells.
    std::string died() {
        const auto finished = app_->wait();
        std::ostringstream text;
        text << "Vesko died (";
        if (finished.signal)
            text << "signal " << finished.signal;
        else
            text << "exit status " << finished.status;
        const std::string& err = finished.err;
        text << "); the end of its standard error: "
             << err.substr(err.size() > 600 ? err.size() - 600 : 0);
        return text.str();
    }

    // Every window but the main one closed, the main one shown. Menus hold the keyboard, so
    // a plain Escape reaches them; windows get Escape, then Ctrl+W.
    void dismiss() {
        std::vector<std::string> windows = windowsOf(app_->pid());
        for (int round = 0; round < 3; ++round) {
            std::vector<std::string> others;
            for (const std::string& window : windows)
                if (window != window_) others.push_back(window);
            if (others.empty()) break;
            if (round == 0) xdotool({"key", "Escape"});
            for (const std::string& window : others)
                if (round > 0) keys(window, {"key", round == 1 ? "Escape" : "ctrl+w"});
            pollUntil([&] { return (windows = windowsOf(app_->pid())).size() < others.size() + 1; },
                      milliseconds(300));
        }
        if (std::find(windows.begin(), windows.end(), window_) == windows.end()) {
            auto again = windowLaunch({});
            again.timeout = 2 * patience;
            run(again);
            pollUntil([&] { return !windowOf(app_->pid()).empty(); }, patience);
        }
    }

    // The focus put in `place`, the query (or the victim's name) listed and its first row
    // selected. The second row's path is copied on the way: the clipboard then holds what
    // no key's effect is, put there by the window itself (a clipboard taken by another
    // client is a test of its own).
    std::string enter(Place place, const std::string& victim) {
        const bool keepSettings = place == settings && !windowOf(app_->pid(), "Settings").empty();
        if (!keepSettings) dismiss();
        prefix_.clear();
        const std::string typed = victim.empty() ? query : fs::path(victim).filename().string();
        const std::string first = victim.empty() ? rows_[0] : victim;
        if (!keepSettings) {
            const std::string second = victim.empty() ? rows_[1] : victim;
            const char* down = victim.empty() ? "Down" : "Home";
            // The query stays from the step before unless a key changed it.
            const bool stale = clipboard() == second;
            keys(window_, {"key", "ctrl+f", "Down", "Home", down, "ctrl+alt+c"});
            if (stale || clipboard() != second) {
                keys(window_, {"key", "ctrl+f"});
                type(window_, typed);
                // Until the first search of the typed text is listed, a Down in the field
                // moves no focus (a slow machine can take longer than the typing): each try
                // goes down from the field again.
                if (!pollUntil(
                        [&] {
                            keys(window_, {"key", "ctrl+f", "Down", "Home", down, "ctrl+alt+c"});
                            return clipboard() == second;
                        },
                        patience))
                    return "the rows of \"" + typed +
                           "\" are not as they were; Copy Path gave: " + clipboard();
            }
            prefix_ = {"Home", "ctrl+f"};
        }
        switch (place) {
        case field:
            break;
        case list:
            prefix_.push_back("Down");
            break;
        case sidebar:
            keys(window_, {"key", "Home", "ctrl+f"});
            prefix_.clear();
            // The sidebar's free space below its (collapsed) sections: a click there takes
            // the focus without changing a filter. A letter typed there changes neither the
            // query nor the selected row, as it would in the field or the list.
            xdotool({"mousemove", "--window", window_, "120", "660", "click", "1"});
            keys(window_, {"key", "g"});
            if (!pollUntil(
                    [&] {
                        keys(window_, {"key", "ctrl+alt+c"});
                        return clipboard() == first;
                    },
                    patience))
                return "a click at 120,660 left the focus out of the sidebar: a typed letter "
                       "made Copy Path give \"" +
                       clipboard() + "\"";
            break;
        case settings:
            if (!keepSettings) keys(window_, {"key", "Home", "ctrl+f", "ctrl+comma"});
            prefix_.clear();
            if (!pollUntil([&] { return !(other_ = windowOf(app_->pid(), "Settings")).empty(); },
                           patience))
                return "ctrl+comma showed no settings window";
            break;
        case preview:
            keys(window_, {"key", "Home", "ctrl+f", "Down", "space"});
            prefix_.clear();
            if (!pollUntil([&] { return !(other_ = windowOf(app_->pid(), rowName(0))).empty(); },
                           patience))
                return "space in the list showed no preview";
            break;
        }
        return {};
    }

    std::string target(Place place) const {
        return place == settings || place == preview ? other_ : window_;
    }

    // Keys to the place's window; a dialog a key opens gets what follows it.
    void press(Place place, const std::string& text) {
        std::string window = target(place);
        std::vector<std::string> pending = {"key"};
        pending.insert(pending.end(), prefix_.begin(), prefix_.end());
        const auto flush = [&] {
            if (pending.size() > 1) keys(window, pending);
            pending = {"key"};
        };
        std::istringstream words(text);
        for (std::string w; words >> w;) {
            if (w.starts_with("type:")) {
                flush();
                type(window, w.substr(5));
            } else if (w.starts_with("dialog:")) {
                flush();
                std::string dialog;
                pollUntil(
                    [&] {
                        for (const std::string& id : windowsOf(app_->pid()))
                            if (id != window_ && id != other_) dialog = id;
                        return !dialog.empty();
                    },
                    patience);
                if (dialog.empty()) return; // the check says what is missing
                window = dialog;
                keys(window, {"key", "ctrl+a"});
                type(window, w.substr(7));
            } else {
                pending.push_back(w);
            }
        }
        flush();
    }

    // Checks: each returns what it saw when the effect did not happen.
    std::string clipboardIs(const std::string& expected) const {
        if (pollUntil([&] { return clipboard() == expected; }, patience)) return {};
        return "the clipboard held \"" + clipboard() + "\", not \"" + expected + "\". ";
    }
    std::string urisAre(const std::vector<std::string>& paths) const {
        if (clipboardPaths() == paths) return {};
        return "the clipboard's text/uri-list was \"" + clipboard("text/uri-list") + "\". ";
    }
    std::string copies(const std::vector<std::string>& paths) const {
        std::string text;
        if (pollUntil(
                [&] {
                    keys(window_, {"key", "ctrl+alt+c"});
                    return (text = clipboard()) == joined(paths);
                },
                patience))
            return {};
        return "Copy Path gave \"" + text + "\", not \"" + joined(paths) + "\". ";
    }
    std::string afterKeys(const std::string& names) const {
        std::vector<std::string> argv = {"key"};
        std::istringstream words(names);
        for (std::string w; words >> w;)
            argv.push_back(w);
        keys(window_, argv);
        return {};
    }
    // The search field's text, copied with a marker typed at its end (so an empty field
    // copies something too).
    std::string fieldIs(const std::string& expected) const {
        keys(window_, {"key", "ctrl+f", "End"});
        type(window_, "zq");
        keys(window_, {"key", "ctrl+f", "ctrl+c"});
        std::string text;
        if (pollUntil([&] { return (text = clipboard()) == expected + "zq"; }, patience)) return {};
        return "the search field held \"" + text.substr(0, text.size() - 2) + "\", not \"" +
               expected + "\". ";
    }
    // Ctrl+A and Ctrl+C copy the query only where the search field has the focus.
    std::string inField() const {
        keys(window_, {"key", "ctrl+a", "ctrl+c"});
        if (pollUntil([&] { return clipboard() == query; }, patience)) return {};
        return "Ctrl+A, Ctrl+C gave \"" + clipboard() + "\", so the search field lacks the focus. ";
    }
    std::string filesIntact() const {
        for (const std::string& row : rows_)
            if (!fs::exists(row)) return row + " is gone. ";
        return {};
    }
    std::string opened(const std::string& path) const {
        std::vector<std::string> asked;
        if (pollUntil([&] { return !(asked = takeOpened()).empty(); }, patience) &&
            asked.back() == path)
            return {};
        return asked.empty() ? "nothing was opened. "
                             : "\"" + asked.back() + "\" was opened instead of " + path + ". ";
    }
    std::string shown(const std::string& title) const {
        if (pollUntil([&] { return !windowOf(app_->pid(), title).empty(); }, patience)) return {};
        return "no window titled \"" + title + "\" appeared. ";
    }
    std::string hidden(const std::string& title) const {
        if (pollUntil([&] { return windowOf(app_->pid(), title).empty(); }, patience)) return {};
        return "the window \"" + title + "\" stayed. ";
    }
    std::string hotKeyShows() const {
        xdotool({"key", "ctrl+F7"});
        if (pollUntil([&] { return !windowOf(app_->pid()).empty(); }, patience)) return {};
        return "the hot key did not bring the window back. ";
    }
    std::string menuShown() const {
        if (pollUntil([&] { return windowsOf(app_->pid()).size() > 1; }, patience)) return {};
        return "no menu appeared. ";
    }
    // The window the place lives in is still there, and the main window's selection too.
    std::string placeStays(Place place) const {
        if (place == settings) return shown("Settings");
        if (place == preview) return shown(rowName(0));
        if (windowOf(app_->pid()).empty()) return "the main window went away. ";
        return copies({rows_[0]});
    }
    std::string fileHolds(const std::string& path, const std::string& expected) const {
        if (pollUntil([&] { return readFile(path) == expected; }, patience)) return {};
        return path + " holds \"" + readFile(path) + "\". ";
    }
    std::string settingsText() const {
        return readFile(vesko.home.path("config/vesko/vesko.conf"));
    }
    std::string settingHas(const std::string& text) const {
        if (pollUntil([&] { return settingsText().find(text) != std::string::npos; }, patience))
            return {};
        return "the settings file does not mention \"" + text + "\". ";
    }
    std::string trashed(const std::string& path) const {
        if (!pollUntil([&] { return !fs::exists(fs::symlink_status(path)); }, patience))
            return path + " is still in place. ";
        const std::string name = fs::path(path).filename().string();
        if (!fs::exists(vesko.home.path("data/Trash/files/" + name)))
            return path + " is not in the Trash. ";
        return filesIntact();
    }
    std::string rowName(std::size_t row) const {
        return row < rows_.size() ? fs::path(rows_[row]).filename().string() : std::string();
    }

    std::unique_ptr<ChildProcess> app_;
    std::string window_;
    std::string other_;               // the settings window or the preview, in those places
    std::vector<std::string> prefix_; // keys that finish entering the place
    std::vector<std::string> rows_;
};

TEST_F(SessionEndToEnd, KeysInTheSearchField) {
    session(field);
}
TEST_F(SessionEndToEnd, KeysInTheResultList) {
    session(list);
}
TEST_F(SessionEndToEnd, KeysInTheSidebar) {
    session(sidebar);
}
TEST_F(SessionEndToEnd, KeysInTheSettingsWindow) {
    session(settings);
}
TEST_F(SessionEndToEnd, KeysInThePreview) {
    session(preview);
}

} // namespace
} // namespace vesko::test
