// SPDX-License-Identifier: MIT
#include "shell/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vesko {
namespace {

constexpr qint64 maximumRequest = 4096;

// A descriptor closed when it goes out of scope.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

bool isPrivateFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// A /tmp folder of our own when the session gives us no runtime folder. Someone else may
// have made it first to catch our socket; then we do without a single instance.
std::optional<std::string> fallbackFolder() {
    const std::string folder = "/tmp/vesko-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    if (!isPrivateFolder(folder)) return std::nullopt;
    return folder;
}

std::chrono::milliseconds remaining(std::chrono::steady_clock::time_point deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
}

// Reads until the final answer line ("ok" or "error …") or the deadline; the data lines
// before it go to `lines`.
std::optional<std::string> finalLine(int fd, std::chrono::milliseconds patience,
                                     std::vector<std::string>* lines) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string received;
    for (;;) {
        for (std::size_t end; (end = received.find('\n')) != std::string::npos;) {
            std::string line = received.substr(0, end);
            received.erase(0, end + 1);
            if (line == "ok" || line.starts_with("error")) return line;
            if (lines) lines->push_back(std::move(line));
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(remaining(deadline).count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char buffer[1024];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

std::optional<std::string> SingleInstance::socketPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isPrivateFolder(runtime))
        return std::string(runtime) + "/vesko.socket";
    if (auto folder = fallbackFolder()) return *folder + "/vesko.socket";
    return std::nullopt;
}

SingleInstance::Handover SingleInstance::send(const std::string& path, const std::string& request,
                                              std::chrono::milliseconds patience,
                                              std::vector<std::string>* lines) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return Handover::nobodyListening;
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) return Handover::foreign;
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return Handover::foreign;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0) return Handover::nobodyListening;
    if (::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Handover::nobodyListening;
    const std::string line = request + "\n";
    if (::send(socket.fd, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size()))
        return Handover::nobodyListening;
    const auto answer = finalLine(socket.fd, patience, lines);
    if (!answer) return Handover::nobodyListening;
    return *answer == "ok" ? Handover::delivered : Handover::rejected;
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
            socket->write(answer(socket->readLine(maximumRequest + 1).trimmed()));
        }
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    read();
}

QByteArray SingleInstance::answer(const QByteArray& request) {
    const qsizetype space = request.indexOf(' ');
    const QByteArray verb = space < 0 ? request : request.left(space);
    const QByteArray argument = space < 0 ? QByteArray() : request.mid(space + 1).trimmed();
    if (verb == "show") {
        emit showRequested(argument);
        return "ok\n";
    }
    if (verb == "ping") return "ok\n";
    if (verb == "status") return (status_ ? status_() : QByteArray("unknown")) + "\nok\n";
    return "error unknown request\n";
}

} // namespace vesko
