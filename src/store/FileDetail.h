// SPDX-License-Identifier: MIT
// What the detail bar shows for the selected item: its kind, the application that opens
// it, its size and modification date. Read off the main thread (everything here is safe
// to call from any thread); the icon is left to the window as a theme icon name.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace vesko {

struct FileDetail {
    QString iconName;                    // the MIME type's theme icon name
    std::optional<QString> kind;         // e.g. "folder", "PDF document"
    std::optional<QString> opensWith;    // the default application's name; none for folders
    std::optional<QString> sizeText;     // none for folders
    std::optional<QString> modifiedText; // in the user's locale, short date and time
    bool exists = false;                 // false when the item could not be read

    bool operator==(const FileDetail&) const = default;

    static FileDetail read(const std::string& path);
};

// The display name of the desktop's default application for a MIME type, following the
// freedesktop MIME-applications rules (mimeapps.list in the config and data folders, the
// desktop's own list first, then mimeinfo.cache); a type without one tries its parents.
std::optional<QString> defaultApplicationName(const QString& mimeType);

} // namespace vesko
