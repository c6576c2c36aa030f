// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileActions.h"

#include "store/RenameNoReplace.h"
#include "store/ShownText.h"
#include "store/TerminalText.h"
#include "store/Trash.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace vesko {
namespace {

// The user's Trash folder; empty without a data folder.
std::string homeTrash() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return {};
    return QFile::encodeName(data).toStdString() + "/Trash";
}

ActionProblem systemProblem(int error) {
    return {ActionProblem::Kind::system, {}, {}, error, 0, {}};
}

ActionProblem problemOf(ActionProblem::Kind kind, const QString& name = {}) {
    return {kind, name, {}, 0, 0, {}};
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A write past RLIMIT_FSIZE raises SIGXFSZ, which ends the process by default; ignored, the
// write fails with EFBIG and the export reports it like a full disk.
void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

QClipboard* clipboard() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
    return QGuiApplication::clipboard();
}

bool openWith(const FileActions::Desktop& desktop, const QUrl& url) {
    return desktop.openUrl ? desktop.openUrl(url) : QDesktopServices::openUrl(url);
}

QDBusConnection busFor(const FileActions::Desktop& desktop) {
    if (desktop.busAddress.isEmpty()) return QDBusConnection::sessionBus();
    return QDBusConnection::connectToBus(desktop.busAddress, "vesko-file-manager");
}

} // namespace

std::string FileActions::fullPath(const std::string& directory, std::string_view name) {
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    if (directory != "/") path = directory;
    path += '/';
    path += name;
    return path;
}

FileActions::Problem FileActions::nameProblem(const QString& name, const std::string& folder) {
    using Kind = ActionProblem::Kind;
    if (name.isEmpty()) return problemOf(Kind::emptyName);
    if (name.contains('/')) return problemOf(Kind::slashInName);
    if (name.contains(QChar(0))) return problemOf(Kind::nullInName);
    if (name == "." || name == "..") return problemOf(Kind::reservedName, name);
    long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest <= 0) longest = 255;
    if (name.toUtf8().size() > longest)
        return ActionProblem{Kind::nameTooLong, {}, {}, 0, longest, {}};
    return std::nullopt;
}

FileActions::Renamed FileActions::rename(const std::string& directory, const std::string& name,
                                         const QString& typed, const RenameFaults* faults) {
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty() || trimmed == shownText(name)) return {};
    if (auto problem = nameProblem(trimmed, directory)) return {problem, std::nullopt};
    const std::string target = trimmed.toStdString();
    if (target == name) return {};
    if (const int error = renameNoReplace(directory, name, target, faults))
        return {systemProblem(error), std::nullopt};
    return {std::nullopt, target};
}

FileActions::Problem FileActions::moveToTrash(const std::string& path, std::string* inTrash) {
    const std::string trash = homeTrash();
    if (trash.empty()) return systemProblem(ENOENT);
    const Trash::Moved moved = Trash::move(path, trash);
    if (moved.error) return systemProblem(moved.error);
    if (inTrash) *inTrash = moved.trashedPath;
    return std::nullopt;
}

FileActions::Problem FileActions::exportPaths(const std::string& file,
                                              const std::vector<std::string>& paths) {
    ignoreFileSizeSignal();
    QSaveFile out(QFile::decodeName(file.c_str()));
    const auto notWritten = [&out] {
        return ActionProblem{ActionProblem::Kind::notWritten, {}, {}, 0, 0, out.errorString()};
    };
    if (!out.open(QIODevice::WriteOnly)) return notWritten();
    for (const auto& path : paths) {
        out.write(path.data(), static_cast<qint64>(path.size()));
        out.write("\n", 1);
    }
    if (paths.empty()) out.write("\n", 1);
    if (!out.commit()) return notWritten();
    return std::nullopt;
}

QUrl FileActions::fileUrl(const std::string& path) {
    const QByteArray raw(path.data(), static_cast<qsizetype>(path.size()));
    return QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"), QUrl::StrictMode);
}

QMimeData* FileActions::pathsData(const std::vector<std::string>& paths) {
    // The text is what a shell reads back as the same path: a name that is not UTF-8 or
    // holds a control (a pasted newline runs a command) comes quoted as $'...'.
    QStringList lines;
    QByteArray uris;
    for (const std::string& path : paths) {
        lines << QString::fromStdString(TerminalText::quoted(path));
        uris += fileUrl(path).toEncoded() + "\r\n";
    }
    auto* data = new QMimeData;
    data->setText(lines.join(QLatin1Char('\n')));
    data->setData("text/uri-list", uris);
    return data;
}

FileActions::Problem FileActions::copyPaths(const std::vector<std::string>& paths) {
    QClipboard* board = clipboard();
    if (!board) return problemOf(ActionProblem::Kind::noClipboard);
    board->setMimeData(pathsData(paths));
    return std::nullopt;
}

FileActions::Problem FileActions::copyName(const std::string& name) {
    QClipboard* board = clipboard();
    if (!board) return problemOf(ActionProblem::Kind::noClipboard);
    board->setText(QString::fromStdString(TerminalText::quoted(name)));
    return std::nullopt;
}

FileActions::Problem FileActions::open(const std::string& path, const Desktop& desktop) {
    if (openWith(desktop, fileUrl(path))) return std::nullopt;
    return problemOf(ActionProblem::Kind::noApplication, shownText(lastName(path)));
}

void FileActions::showInFileManager(const std::string& path, const Desktop& desktop,
                                    std::function<void(Problem)> done) {
    const std::string folder = parentOf(path);
    auto fallBack = [desktop, folder, done] {
        if (openWith(desktop, fileUrl(folder))) return done(std::nullopt);
        done(problemOf(ActionProblem::Kind::noFileManager, shownText(folder)));
    };
    QDBusConnection bus = busFor(desktop);
    if (!bus.isConnected()) return fallBack();
    auto call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                               "/org/freedesktop/FileManager1",
                                               "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QString::fromLatin1(fileUrl(path).toEncoded())} << QString();
    const int timeout = static_cast<int>(desktop.timeout.count());
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeout));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallBack, done](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         if (finished->isError()) return fallBack();
                         done(std::nullopt);
                     });
}

} // namespace vesko
