// SPDX-License-Identifier: GPL-3.0-or-later
// What the preview window shows for one path, read in the background: a decoded image, the
// start of a text file, or the facts shown beside an icon. A plain value, so it can be read
// on a worker thread and handed to the window whole.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <string>

namespace vesko {

struct PreviewContent {
    enum class Kind { missing, folder, image, text, other };

    // Enough to read a page of a log or a source file; more would only slow the view down.
    static constexpr qint64 textLimit = 256 * 1024;
    // Images larger than this are decoded at reduced size, so a 50-megapixel photo costs a
    // fraction of its full decode and memory.
    static constexpr int imageBox = 2048;

    Kind kind = Kind::missing;
    QString name;
    QImage image; // the picture itself, or for other files the desktop's cached thumbnail
    QString text;
    bool truncated = false; // the text is only the first `textLimit` bytes
    QString kindText;       // the MIME type's comment, in the user's language
    QString iconName;
    QString genericIconName;
    qint64 size = 0;
    qint64 itemCount = -1; // folders; -1 when the folder cannot be listed

    // `path` is the stored bytes of the item's path.
    static PreviewContent read(const std::string& path);
};

} // namespace vesko
