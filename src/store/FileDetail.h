// SPDX-License-Identifier: GPL-3.0-or-later
// What the detail bar shows for the selected item: its kind, the application that opens
// it, its size and modification date. Read off the main thread (everything here is safe
// to call from any thread); the icon is left to the window as a theme icon name. The item
// is read by the bytes of its path and never followed when it is a symbolic link: its size
// and date are the link's own, as the index and the list have them, and its kind names
// what it points to.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace vesko {

// What a symbolic link reaches: nothing, a folder, a file of no known type, or a file of
// `type` (the MIME type's description) by its name.
struct LinkTarget {
    enum class Kind { missing, folder, file, typed };
    Kind kind = Kind::missing;
    QString type;

    bool operator==(const LinkTarget&) const = default;
};

struct FileDetail {
    QString iconName;                  // the MIME type's theme icon name
    std::optional<QString> kind;       // e.g. "folder", "PDF document"; none for a link
    std::optional<LinkTarget> link;    // a link's kind is what it reaches
    std::optional<QString> opensWith;  // the default application's name; none for folders
    std::optional<std::uint64_t> size; // in bytes; none for folders
    std::int64_t modified = 0;         // seconds since 1970
    bool exists = false;               // false when the item could not be read

    bool operator==(const FileDetail&) const = default;

    static FileDetail read(const std::string& path);
    // What a symbolic link reaches, its type by the target's name. Reads no content, so the
    // list may ask it for the rows on screen.
    static LinkTarget linkTarget(const std::string& path);
};

// The display name of the desktop's default application for a MIME type, following the
// freedesktop MIME-applications rules (mimeapps.list in the config and data folders, the
// desktop's own list first, then mimeinfo.cache); a type without one tries its parents.
std::optional<QString> defaultApplicationName(const QString& mimeType);

} // namespace vesko
