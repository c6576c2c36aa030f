// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/IconCache.h"

#include "store/SharedThumbnails.h"
#include "store/StoreTasks.h"
#include "ui/FallbackIcons.h"

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QPixmap>

namespace vesko {

IconCache::IconCache(StoreTasks& tasks, QObject* parent) : QObject(parent), tasks_(tasks) {
    folderIcon_ = QIcon::fromTheme("folder", QFileIconProvider().icon(QFileIconProvider::Folder));
}

QString IconCache::extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return QString::fromUtf8(name.data() + dot + 1, static_cast<qsizetype>(name.size() - dot - 1))
        .toLower();
}

QIcon IconCache::icon(const SearchRow& row) const {
    if (row.isDirectory) return folderIcon_;
    return byExtension_.value(extension(row.name));
}

void IconCache::request(const SearchRow& row) {
    if (row.isDirectory) return;
    const QString key = extension(row.name);
    if (byExtension_.contains(key) || inFlight_.contains(key)) return;
    inFlight_.insert(key);
    ++loadsStarted_;
    // The MIME database is safe to share between threads; the icon theme is not (its
    // lookups fill process-wide caches the window's own icons use too), so only the type
    // lookup runs here and the theme is asked on the main thread when the names arrive.
    tasks_.run(StoreTasks::Priority::utility,
               [&tasks = tasks_, alive = std::weak_ptr(alive_), this, key, epoch = epoch_] {
                   // A stand-in name, so every file of one extension gets the same type whichever
                   // row asked first ("a.tar.gz" and "b.gz" share "gz").
                   const QMimeType type = QMimeDatabase().mimeTypeForFile(
                       key.isEmpty() ? QStringLiteral("file") : QStringLiteral("file.") + key,
                       QMimeDatabase::MatchExtension);
                   tasks.deliver([alive, this, key,
                                  names = Names{type.iconName(), type.genericIconName()}, epoch] {
                       if (!alive.expired()) arrived(key, names, epoch);
                   });
               });
}

void IconCache::arrived(const QString& key, const Names& names, quint64 epoch) {
    if (epoch != epoch_) return;
    inFlight_.remove(key);
    // The theme may be a bare one with no file types at all: then a drawn icon of the
    // type's family stands in.
    byExtension_.insert(key, FallbackIcons::typeIcon(names.icon, names.generic));
    announce();
}

namespace {

QByteArray thumbnailKey(const SearchRow& row) {
    return QByteArray::fromStdString(row.path()) + '\0' + QByteArray::number(row.modified);
}

} // namespace

std::optional<QIcon> IconCache::thumbnail(const SearchRow& row) const {
    const QIcon* known = thumbnails_.object(thumbnailKey(row));
    if (!known) return std::nullopt;
    return *known;
}

void IconCache::requestThumbnail(const SearchRow& row) {
    QByteArray key = thumbnailKey(row);
    if (thumbnails_.contains(key) || thumbnailsInFlight_.contains(key)) return;
    thumbnailsInFlight_.insert(key);
    tasks_.run(StoreTasks::Priority::utility,
               [&tasks = tasks_, alive = std::weak_ptr(alive_), this, key = std::move(key),
                path = row.path(), modified = row.modified, epoch = epoch_] {
                   QImage image = SharedThumbnails::find(path, modified);
                   // Rows are at most 48 pixels high; twice that keeps them sharp on a dense
                   // screen.
                   if (!image.isNull() && (image.width() > 96 || image.height() > 96))
                       image = image.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                   tasks.deliver([alive, this, key, image, epoch] {
                       if (!alive.expired()) thumbnailArrived(key, image, epoch);
                   });
               });
}

void IconCache::thumbnailArrived(const QByteArray& key, const QImage& image, quint64 epoch) {
    if (epoch != epoch_) return;
    thumbnailsInFlight_.remove(key);
    thumbnails_.insert(key, new QIcon(image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image))));
    announce();
}

// Many icons arrive together after a scroll; the rows are painted again once for all.
void IconCache::announce() {
    if (announcing_) return;
    announcing_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            announcing_ = false;
            emit iconsChanged();
        },
        Qt::QueuedConnection);
}

void IconCache::clear() {
    byExtension_.clear();
    inFlight_.clear();
    thumbnails_.clear();
    thumbnailsInFlight_.clear();
    ++epoch_;
    folderIcon_ = QIcon::fromTheme("folder", QFileIconProvider().icon(QFileIconProvider::Folder));
}

} // namespace vesko
