// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreviewContent.h"

#include "store/BytePathFile.h"
#include "store/SharedThumbnails.h"
#include "store/ShownText.h"

#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>

#include <cstring>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>

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
bool looksLikeText(QFile& file, const QMimeType& type) {
    if (type.inherits(QStringLiteral("text/plain"))) return true;
    if (!type.isDefault()) return false;
    return file.seek(0) && !file.read(4096).contains('\0');
}

bool readText(QFile& file, PreviewContent& content) {
    if (!file.seek(0)) return false;
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

bool readImage(QFile& file, PreviewContent& content) {
    if (!file.seek(0)) return false;
    QImageReader reader(&file);
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

// The entries of a folder, or -1 when it cannot be listed.
qint64 countEntries(const std::string& path) {
    DIR* folder = ::opendir(path.c_str());
    if (!folder) return -1;
    qint64 count = 0;
    while (const dirent* entry = ::readdir(folder))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++count;
    ::closedir(folder);
    return count;
}

} // namespace

PreviewContent PreviewContent::read(const std::string& path) {
    PreviewContent content;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    content.name = shownText(name);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return content;
    if (S_ISDIR(info.st_mode)) {
        content.kind = Kind::folder;
        content.itemCount = countEntries(path);
        return content;
    }
    std::optional<BytePathFile> opened;
    if (S_ISREG(info.st_mode)) opened.emplace(path);
    if (opened && !*opened) opened.reset();
    const QMimeDatabase database;
    const QMimeType type =
        opened
            ? database.mimeTypeForFileNameAndData(QString::fromStdString(name), &opened->file())
            : database.mimeTypeForFile(QString::fromStdString(name), QMimeDatabase::MatchExtension);
    content.kindText = type.comment();
    content.iconName = type.iconName();
    content.genericIconName = type.genericIconName();
    content.size = static_cast<qint64>(info.st_size);
    content.kind = Kind::other;
    if (!opened) return content;
    QFile& file = opened->file();
    if (type.name().startsWith(QStringLiteral("image/")) && readImage(file, content))
        return content;
    if (looksLikeText(file, type) && readText(file, content)) return content;
    content.kind = Kind::other;
    // A video or a document shows what a file manager drew of it, when one has.
    content.image = SharedThumbnails::find(path, info.st_mtim.tv_sec);
    return content;
}

} // namespace vesko
