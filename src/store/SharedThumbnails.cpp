// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SharedThumbnails.h"

#include "index/HomeFolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QImageReader>

namespace vesko::SharedThumbnails {
namespace {

quint32 bigEndian(const char* bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
}

// The text chunks before the image data, read straight from the file: Qt's own reader
// splits keys at their first colon, and "Thumb::URI" has two. GNOME writes the keys as
// plain text, Qt-based thumbnailers compress long values.
QHash<QByteArray, QByteArray> headerTexts(QFile& png) {
    QHash<QByteArray, QByteArray> texts;
    if (png.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8)) return texts;
    // Larger chunks (a colour profile, say) are stepped over unread.
    constexpr quint32 largestText = 64 * 1024;
    while (texts.size() < 16) {
        const QByteArray head = png.read(8);
        if (head.size() != 8) break;
        const quint32 length = bigEndian(head.constData());
        const QByteArray type = head.mid(4);
        if (type == "IDAT" || type == "IEND") break;
        if (length > largestText) {
            if (!png.seek(png.pos() + length + 4)) break;
            continue;
        }
        const QByteArray data = png.read(length);
        if (data.size() != qsizetype(length) || png.read(4).size() != 4) break;
        const qsizetype end = data.indexOf('\0');
        if (end <= 0) continue;
        const QByteArray key = data.left(end);
        if (type == "tEXt") {
            texts.insert(key, data.mid(end + 1));
        } else if (type == "zTXt" && data.size() > end + 2 && data[end + 1] == 0) {
            // qUncompress wants the size first: a text chunk's own bound serves.
            QByteArray framed("\0\x01\0\0", 4);
            framed += data.mid(end + 2);
            texts.insert(key, qUncompress(framed));
        }
    }
    return texts;
}

} // namespace

QByteArray uriOf(const std::string& path) {
    // GLib leaves these unescaped in a path beside the unreserved characters; the cache's
    // file names are hashes of GLib's form, so another escaping would find nothing.
    const QByteArray raw(path.data(), static_cast<qsizetype>(path.size()));
    return "file://" + raw.toPercentEncoding("!$&'()*+,:=@/");
}

std::string folder() {
    return cacheHome() + "/thumbnails";
}

QImage find(const std::string& path, std::int64_t modifiedSeconds) {
    const QByteArray uri = uriOf(path);
    const QString file =
        QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    const QString base = QString::fromStdString(folder());
    for (const char* size : {"large", "x-large", "normal", "xx-large"}) {
        QFile png(base + '/' + QLatin1String(size) + '/' + file);
        if (!png.open(QIODevice::ReadOnly)) continue;
        const auto texts = headerTexts(png);
        if (texts.value("Thumb::URI") != uri ||
            texts.value("Thumb::MTime") != QByteArray::number(modifiedSeconds))
            continue;
        if (!png.seek(0)) continue;
        QImageReader reader(&png, "png");
        QImage image = reader.read();
        if (!image.isNull()) return image;
    }
    return {};
}

} // namespace vesko::SharedThumbnails
