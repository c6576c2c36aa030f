// SPDX-License-Identifier: MIT
#include "shell/SingleInstance.h"

#include "store/UserFolders.h"

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

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Said once per folder and process: a start asks for the path more than once.
void warnNotPrivate(const std::string& folder, const char* consequence) {
    static std::set<std::string> warned;
    if (!warned.insert(folder).second) return;
    std::fprintf(stderr, "vesko: %s is not a private folder of yours; %s\n", folder.c_str(),
                 consequence);
}

// The runtime folder, when the session gives one that is the user's alone.
std::optional<std::string> runtimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return std::nullopt;
    if (isPrivateFolder(runtime)) return std::string(runtime);
    if (exists(runtime))
        warnNotPrivate(runtime, "the single instance uses a folder in your cache instead");
    return std::nullopt;
}

// In the user's own cache rather than /tmp, where another user could make the folder first.
std::string cacheRunFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::string(cache) + "/vesko/run";
    const std::string home = homeFolder();
    return (home == "/" ? std::string() : home) + "/.cache/vesko/run";
}

std::chrono::milliseconds remaining(std::chrono::steady_clock::time_point deadline) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now()));
}

// Reads until the final answer line ("ok" or "error …"); the data lines before it go to
// `lines`. Nothing when the connection ends first, or when the deadline passes (`late`).
std::optional<std::string> finalLine(int fd, std::chrono::milliseconds patience,
                                     std::vector<std::string>* lines, bool& late) {
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
        late = ready == 0;
        if (ready <= 0) return std::nullopt;
        char buffer[1024];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace

std::optional<std::string> SingleInstance::socketPath(Folder folder) {
    if (const auto runtime = runtimeFolder()) return *runtime + "/vesko.socket";
    const std::string run = cacheRunFolder();
    if (folder == Folder::make) makePrivateFolders(run);
    if (isPrivateFolder(run)) return run + "/vesko.socket";
    if (exists(run)) warnNotPrivate(run, "running without a single instance");
    return std::nullopt;
}

std::string SingleInstance::lockPath(const std::string& socket) {
    return socket.substr(0, socket.rfind('/') + 1) + "vesko.lock";
}

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

int SingleInstance::connectTo(const std::string& path, Handover& failure) {
    failure = Handover::nobodyListening;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return -1;
    failure = Handover::foreign;
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) return -1;
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return -1;
    failure = Handover::nobodyListening;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0) return -1;
    if (::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return -1;
    return std::exchange(socket.fd, -1);
}

SingleInstance::Handover SingleInstance::send(const std::string& path, const std::string& request,
                                              std::chrono::milliseconds patience,
                                              std::vector<std::string>* lines) {
    Handover failure{};
    Descriptor socket(connectTo(path, failure));
    if (socket.fd < 0) return failure;
    const std::string line = request + "\n";
    if (::send(socket.fd, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size()))
        return Handover::nobodyListening;
    bool late = false;
    const auto answer = finalLine(socket.fd, patience, lines, late);
    if (!answer) return late ? Handover::unanswered : Handover::nobodyListening;
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
    if (verb == "ping") return "ok\n";
    if (verb == "status") return (status_ ? status_() : QByteArray("unknown")) + "\nok\n";
    return "error unknown request\n";
}

} // namespace vesko
