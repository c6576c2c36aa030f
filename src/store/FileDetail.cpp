// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileDetail.h"

#include "store/BytePathFile.h"

#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {
namespace {

// The values of `key` in `section` of a desktop-entry style file, split at ";".
QStringList valuesIn(const QString& file, const QString& section, const QString& key) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream lines(&in);
    bool inSection = false;
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        if (line.startsWith('['))
            inSection = line == '[' + section + ']';
        else if (inSection && line.section('=', 0, 0).trimmed() == key)
            return line.section('=', 1).trimmed().split(';', Qt::SkipEmptyParts);
    }
    return {};
}

QStringList folders(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    QStringList list = (value.isEmpty() ? fallback : value).split(':', Qt::SkipEmptyParts);
    list.removeIf([](const QString& folder) { return !folder.startsWith('/'); });
    return list;
}

QStringList applicationFolders() {
    const QString home = qEnvironmentVariable("HOME");
    QStringList list = folders("XDG_DATA_HOME", home + "/.local/share");
    list += folders("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    for (QString& folder : list)
        folder += "/applications";
    return list;
}

// mimeapps.list files in the order their defaults count.
QStringList mimeappsLists() {
    const QString home = qEnvironmentVariable("HOME");
    QStringList places = folders("XDG_CONFIG_HOME", home + "/.config");
    places += folders("XDG_CONFIG_DIRS", "/etc/xdg");
    places += applicationFolders();
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(':', Qt::SkipEmptyParts);
    QStringList files;
    for (const QString& place : places) {
        for (const QString& desktop : desktops)
            files << place + '/' + desktop + "-mimeapps.list";
        files << place + "/mimeapps.list";
    }
    return files;
}

std::optional<QString> applicationName(const QString& desktopId) {
    const QString language = QLocale().name();
    for (const QString& folder : applicationFolders()) {
        const QString file = folder + '/' + desktopId;
        if (!QFile::exists(file)) continue;
        for (const QString& key : {"Name[" + language + ']',
                                   "Name[" + language.section('_', 0, 0) + ']', QString("Name")}) {
            const QStringList name = valuesIn(file, "Desktop Entry", key);
            if (!name.isEmpty()) return name.join(';');
        }
    }
    return std::nullopt;
}

std::optional<QString> defaultFor(const QString& mimeType) {
    for (const QString& list : mimeappsLists())
        for (const QString& id : valuesIn(list, "Default Applications", mimeType))
            if (auto name = applicationName(id)) return name;
    for (const QString& folder : applicationFolders())
        for (const QString& id : valuesIn(folder + "/mimeinfo.cache", "MIME Cache", mimeType))
            if (auto name = applicationName(id)) return name;
    return std::nullopt;
}

} // namespace

std::optional<QString> defaultApplicationName(const QString& mimeType) {
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    QStringList candidates{mimeType};
    if (type.isValid()) candidates += type.allAncestors();
    for (const QString& candidate : candidates)
        if (auto name = defaultFor(candidate)) return name;
    return std::nullopt;
}

namespace {

std::string lastName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The type by the item's own bytes: its name's extension and, for a regular file, its
// first bytes, read through a descriptor opened by the stored path.
QMimeType typeOf(const std::string& path, const struct stat& info) {
    const QMimeDatabase database;
    if (S_ISDIR(info.st_mode)) return database.mimeTypeForName(QStringLiteral("inode/directory"));
    if (S_ISFIFO(info.st_mode)) return database.mimeTypeForName(QStringLiteral("inode/fifo"));
    if (S_ISSOCK(info.st_mode)) return database.mimeTypeForName(QStringLiteral("inode/socket"));
    if (S_ISCHR(info.st_mode)) return database.mimeTypeForName(QStringLiteral("inode/chardevice"));
    if (S_ISBLK(info.st_mode)) return database.mimeTypeForName(QStringLiteral("inode/blockdevice"));
    const QString name = QString::fromStdString(lastName(path));
    BytePathFile opened(path, O_NOFOLLOW);
    if (!opened) return database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return database.mimeTypeForFileNameAndData(name, &opened.file());
}

// A link's target type by the name it resolves to, without reading it.
QMimeType targetTypeOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    const std::string target = resolved ? resolved : path;
    std::free(resolved);
    return QMimeDatabase().mimeTypeForFile(QString::fromStdString(lastName(target)),
                                           QMimeDatabase::MatchExtension);
}

} // namespace

LinkTarget FileDetail::linkTarget(const std::string& path) {
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return {};
    if (S_ISDIR(target.st_mode)) return {LinkTarget::Kind::folder, {}};
    const QMimeType type = targetTypeOf(path);
    if (type.isDefault() || type.comment().isEmpty()) return {LinkTarget::Kind::file, {}};
    return {LinkTarget::Kind::typed, type.comment()};
}

FileDetail FileDetail::read(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {};
    FileDetail detail;
    detail.exists = true;
    detail.modified = info.st_mtim.tv_sec;
    if (S_ISLNK(info.st_mode)) {
        detail.link = linkTarget(path);
        struct stat target {};
        const bool reached = ::stat(path.c_str(), &target) == 0;
        if (reached && S_ISDIR(target.st_mode)) {
            detail.iconName = QStringLiteral("folder");
        } else if (reached) {
            const QMimeType type = targetTypeOf(path);
            detail.iconName = type.iconName();
            detail.opensWith = defaultApplicationName(type.name());
        } else {
            detail.iconName = QStringLiteral("inode-symlink");
        }
        detail.size = static_cast<std::uint64_t>(info.st_size);
        return detail;
    }
    const QMimeType type = typeOf(path, info);
    detail.iconName = type.iconName();
    if (!type.comment().isEmpty()) detail.kind = type.comment();
    if (S_ISDIR(info.st_mode)) return detail;
    detail.opensWith = defaultApplicationName(type.name());
    detail.size = static_cast<std::uint64_t>(info.st_size);
    return detail;
}

} // namespace vesko
