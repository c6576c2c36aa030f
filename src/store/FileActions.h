// SPDX-License-Identifier: GPL-3.0-or-later
// What the user can do with an item of the result list: rename it in place, move it to the
// Trash, copy its path or name, open it, show it in the file manager; and the export of a
// whole result list to a text file. Paths are the index's bytes, so names that are not
// valid UTF-8 still reach the right file. Each action answers with what kept it from
// happening, or nothing when it worked; none of them throws or ends the process.
#pragma once

#include "store/ActionProblem.h"

#include <QString>
#include <QUrl>

class QMimeData;

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

struct RenameFaults;

class FileActions {
public:
    using Problem = std::optional<ActionProblem>;

    // "/" + name for an item of the root folder, else directory + "/" + name.
    static std::string fullPath(const std::string& directory, std::string_view name);

    // Why `name` cannot be given to an item in `folder`, or nothing. Checks what the file
    // system would refuse: empty, ".", "..", "/" or NUL inside, longer than the folder's
    // file system allows.
    static Problem nameProblem(const QString& name, const std::string& folder);

    struct Renamed {
        Problem problem;
        std::optional<std::string> name; // the new name, only when the item was renamed
    };
    // Renames directory/name to the typed text trimmed of white space. An empty text or the
    // current name does nothing and is no problem. Never replaces an existing item.
    static Renamed rename(const std::string& directory, const std::string& name,
                          const QString& typed, const RenameFaults* faults = nullptr);

    // Moves the item to the user's Trash (the Trash of its own volume when it lives on
    // another one), following the freedesktop Trash specification. `inTrash` gets where the
    // item went (the Trash's files/NAME), for putting it back.
    static Problem moveToTrash(const std::string& path, std::string* inTrash = nullptr);

    // Writes every path followed by a line feed, bytes as stored, to `file` atomically: the
    // old file stays as it was unless the whole new one was written.
    static Problem exportPaths(const std::string& file, const std::vector<std::string>& paths);
    static constexpr const char* proposedExportName = "vesko-results.txt";

    // The clipboard gets the paths as text/plain, one per line, and their file URLs as
    // text/uri-list; or the name as text/plain. The URLs carry the exact bytes; the text
    // quotes a path or name as a terminal shows it (TerminalText) when it needs quoting.
    // Needs a QGuiApplication.
    static Problem copyPath(const std::string& path) { return copyPaths({path}); }
    static Problem copyPaths(const std::vector<std::string>& paths);
    // The same two forms, for the clipboard and for a drag.
    static QMimeData* pathsData(const std::vector<std::string>& paths);
    static Problem copyName(const std::string& name);

    // The desktop services behind open and show, replaceable for tests.
    struct Desktop {
        std::function<bool(const QUrl&)> openUrl; // QDesktopServices::openUrl when empty
        QString busAddress;                       // the session bus when empty
        std::chrono::milliseconds timeout{5000};  // for the file manager to answer
    };
    static QUrl fileUrl(const std::string& path);

    static Problem open(const std::string& path, const Desktop& desktop);
    // Asks the file manager over D-Bus to show the item selected in its folder; when none
    // answers within the timeout, opens the folder instead. `done` gets the outcome once,
    // later (from the event loop) when a bus was reached.
    static void showInFileManager(const std::string& path, const Desktop& desktop,
                                  std::function<void(Problem)> done);
};

} // namespace vesko
