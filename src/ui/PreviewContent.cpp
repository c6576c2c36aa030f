// SPDX-License-Identifier: MIT
#include "ui/PreviewContent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>

namespace vesko {
namespace {

// Drops a multi-byte UTF-8 sequence cut in half by the read limit, which would otherwise
// end the text with a replacement character that is not in the file.
void dropCutSequence(QByteArray& bytes) {
    qsizetype start = bytes.size() - 1;
    while (start >= 0 && bytes.size() - start < 4 && (uchar(bytes[start]) & 0xC0) == 0x80)
        --start;
    if (start < 0) return;
    const uchar lead = uchar(bytes[start]);
    const qsizetype expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (bytes.size() - start < expected) bytes.truncate(start);
}

// Text by its type, or an unknown type whose start holds no NUL byte: a file of known
// binary type (a PDF often has no NUL early on) is not shown as text.
bool looksLikeText(const QString& path, const QMimeType& type) {
    if (type.inherits(QStringLiteral("text/plain"))) return true;
    if (!type.isDefault()) return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && !file.read(4096).contains('\0');
}

bool readText(const QString& path, PreviewContent& content) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = file.read(PreviewContent::textLimit + 1);
    content.truncated = bytes.size() > PreviewContent::textLimit;
    if (content.truncated) {
        bytes.truncate(PreviewContent::textLimit);
        dropCutSequence(bytes);
    }
    content.text = QString::fromUtf8(bytes); // invalid sequences become U+FFFD
    content.kind = PreviewContent::Kind::text;
    return true;
}

bool readImage(const QString& path, PreviewContent& content) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    const QSize box(PreviewContent::imageBox, PreviewContent::imageBox);
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio));
    content.image = reader.read();
    if (content.image.isNull()) return false;
    content.kind = PreviewContent::Kind::image;
    return true;
}

} // namespace

PreviewContent PreviewContent::read(const QString& path) {
    PreviewContent content;
    const QFileInfo info(path);
    content.name = info.fileName();
    if (!info.exists()) return content;
    if (info.isDir()) {
        content.kind = Kind::folder;
        const QDir folder(path);
        if (folder.isReadable())
            content.itemCount = folder
                                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                               QDir::Hidden | QDir::System)
                                    .size();
        return content;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    content.kindText = type.comment();
    content.iconName = type.iconName();
    content.genericIconName = type.genericIconName();
    content.size = info.size();
    if (type.name().startsWith(QStringLiteral("image/")) && readImage(path, content))
        return content;
    if (looksLikeText(path, type) && readText(path, content)) return content;
    content.kind = Kind::other;
    return content;
}

} // namespace vesko
