// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/InstanceSocket.h"

#include "index/FileDescriptor.h"
#include "index/HomeFolder.h"
#include "index/PrivateFolders.h"
#include "store/PercentEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vesko::InstanceSocket {
namespace {

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
    return cacheHome() + "/vesko/run";
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

std::optional<std::string> path(Folder folder) {
    if (const auto runtime = runtimeFolder()) return *runtime + "/vesko.socket";
    const std::string run = cacheRunFolder();
    if (folder == Folder::make) makePrivateFolders(run);
    if (isPrivateFolder(run)) return run + "/vesko.socket";
    if (exists(run)) warnNotPrivate(run, "running without a single instance");
    return std::nullopt;
}

std::string lockPath(const std::string& socket) {
    return socket.substr(0, socket.rfind('/') + 1) + "vesko.lock";
}

FileDescriptor connectTo(const std::string& path, Handover& failure) {
    failure = Handover::nobodyListening;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return FileDescriptor();
    failure = Handover::foreign;
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) return FileDescriptor();
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return FileDescriptor();
    failure = Handover::nobodyListening;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return FileDescriptor();
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return FileDescriptor();
    return socket;
}

Handover send(const std::string& path, const std::string& request,
              std::chrono::milliseconds patience, std::vector<std::string>* lines) {
    Handover failure{};
    FileDescriptor socket(connectTo(path, failure));
    if (!socket) return failure;
    const std::string line = request + "\n";
    if (::send(socket.get(), line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size()))
        return Handover::nobodyListening;
    bool late = false;
    const auto answer = finalLine(socket.get(), patience, lines, late);
    if (!answer) return late ? Handover::unanswered : Handover::nobodyListening;
    return *answer == "ok" ? Handover::delivered : Handover::rejected;
}

std::string searchInRequest(const std::string& folder, const char* activationToken) {
    std::string request = "search-in " + percentEncoded(folder);
    if (activationToken && activationToken[0] != '\0')
        request += std::string(" ") + activationToken;
    return request;
}

} // namespace vesko::InstanceSocket
