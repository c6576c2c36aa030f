// SPDX-License-Identifier: MIT
// What the detail bar shows for the selected item: its kind, the application that opens
// it, its size and modification date. Read off the main thread (everything here is safe
// to call from any thread); the icon is left to the window as a theme icon name. The item
// is read by the bytes of its path and never followed when it is a symbolic link: its size
// and date are the link's own, as the index and the list have them, and its kind names
// what it points to.
#pragma once

#include <QCoreApplication>
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
    // A symbolic link's kind: "Link to " the kind of its target by name, a folder, or a
    // missing item. Reads no content, so the list may ask it for the rows on screen.
    static QString linkKind(const std::string& path);

    Q_DECLARE_TR_FUNCTIONS(FileDetail)
};

// The display name of the desktop's default application for a MIME type, following the
// freedesktop MIME-applications rules (mimeapps.list in the config and data folders, the
// desktop's own list first, then mimeinfo.cache); a type without one tries its parents.
std::optional<QString> defaultApplicationName(const QString& mimeType);

} // namespace vesko
