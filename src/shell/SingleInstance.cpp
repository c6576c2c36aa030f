// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace vesko {
namespace {

// Room for a find request with the longest query, escaped.
constexpr qint64 maximumRequest = 65536;

} // namespace

InstanceLock::InstanceLock(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
    if (!fd_) error_ = errno;
}

bool InstanceLock::take() {
    if (owned_ || !fd_) return owned_;
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) error_ = errno;
        return false;
    }
    owned_ = true;
    // Only for the message of a start that finds this owner not answering.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_.get(), 0) == 0) {
        const ssize_t written = ::pwrite(fd_.get(), pid.data(), pid.size(), 0);
        static_cast<void>(written);
    }
    return true;
}

long InstanceLock::ownerProcess() const {
    char text[32] = {};
    if (!fd_ || ::pread(fd_.get(), text, sizeof text - 1, 0) <= 0) return 0;
    return std::strtol(text, nullptr, 10);
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    // Closing removes the socket file, so the next start need not wait for a stale one.
    if (server_) server_->close();
}

bool SingleInstance::listen(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) {
            problem_ = QString::fromStdString(path + " belongs to someone else");
            return false;
        }
        ::unlink(path.c_str());
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(QString::fromStdString(path))) {
        problem_ = server_->errorString();
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection())
            serve(socket);
    });
    return true;
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto read = [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() <= maximumRequest) return;
            socket->write("error request too long\n");
        } else {
            const QByteArray request = socket->readLine(maximumRequest + 1).trimmed();
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            if (handleLater(socket, request)) return;
            socket->write(answer(request));
        }
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();
}

void SingleInstance::setHandler(const QByteArray& verb, Handler handler) {
    handlers_[verb] = std::move(handler);
}

bool SingleInstance::handleLater(QLocalSocket* socket, const QByteArray& request) {
    const qsizetype space = request.indexOf(' ');
    const auto handler = handlers_.find(space < 0 ? request : request.left(space));
    if (handler == handlers_.end()) return false;
    QPointer<QLocalSocket> asker(socket);
    handler->second(space < 0 ? QByteArray() : request.mid(space + 1),
                    [asker](const QByteArray& answer) {
                        if (!asker) return;
                        asker->write(answer);
                        asker->disconnectFromServer();
                    });
    return true;
}

QByteArray SingleInstance::answer(const QByteArray& request) {
    const qsizetype space = request.indexOf(' ');
    const QByteArray verb = space < 0 ? request : request.left(space);
    const QByteArray argument = space < 0 ? QByteArray() : request.mid(space + 1).trimmed();
    if (verb == "show") {
        emit showRequested(argument);
        return "ok\n";
    }
    if (verb == "search-in") {
        const qsizetype gap = argument.indexOf(' ');
        const QByteArray folder =
            QByteArray::fromPercentEncoding(gap < 0 ? argument : argument.left(gap));
        if (!folder.startsWith('/')) return "error no folder\n";
        emit searchInRequested(folder, gap < 0 ? QByteArray() : argument.mid(gap + 1));
        return "ok\n";
    }
    if (verb == "ping") return "ok\n";
    if (verb == "status") return (status_ ? status_() : QByteArray("unknown")) + "\nok\n";
    return "error unknown request\n";
}

} // namespace vesko
