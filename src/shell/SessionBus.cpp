// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SessionBus.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vesko::SessionBus {
namespace {

struct Descriptor {
    int fd;
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

// The socket address of the first unix transport, "unix:path=…" or "unix:abstract=…".
std::optional<sockaddr_un> unixAddress(const std::string& address, socklen_t& length) {
    const std::string first = address.substr(0, address.find(';'));
    if (!first.starts_with("unix:")) return std::nullopt;
    sockaddr_un result{};
    result.sun_family = AF_UNIX;
    for (const auto& [key, abstract] : {std::pair{"path=", false}, std::pair{"abstract=", true}}) {
        const auto at = first.find(key);
        if (at == std::string::npos) continue;
        const auto start = at + std::strlen(key);
        const std::string value = first.substr(start, first.find(',', start) - start);
        const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with NUL
        if (value.empty() || value.size() + offset >= sizeof result.sun_path) return std::nullopt;
        std::memcpy(result.sun_path + offset, value.data(), value.size());
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + value.size() +
                                        (abstract ? 0 : 1));
        return result;
    }
    return std::nullopt;
}

} // namespace

bool answers(const std::string& address, std::chrono::milliseconds patience) {
    socklen_t length = 0;
    const auto target = unixAddress(address, length);
    if (!target) return true;
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0) return false;
    if (::connect(socket.fd, reinterpret_cast<const sockaddr*>(&*target), length) != 0)
        return false;
    // The handshake opens with one NUL byte and an AUTH line; any reply means someone is
    // there. The user id goes as the hex digits of its decimal text.
    std::string hello(1, '\0');
    hello += "AUTH EXTERNAL ";
    for (char digit : std::to_string(::getuid())) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(digit));
        hello += hex;
    }
    hello += "\r\n";
    if (::send(socket.fd, hello.data(), hello.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(hello.size()))
        return false;
    pollfd waiting{socket.fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, static_cast<int>(patience.count()));
    } while (ready < 0 && errno == EINTR);
    char reply[64];
    return ready > 0 && ::read(socket.fd, reply, sizeof reply) > 0;
}

bool answers() {
    static const bool reached = [] {
        std::string address;
        if (const char* given = std::getenv("DBUS_SESSION_BUS_ADDRESS"); given && *given) {
            address = given;
        } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
            const std::string socket = std::string(runtime) + "/bus";
            if (::access(socket.c_str(), F_OK) == 0) address = "unix:path=" + socket;
        }
        return address.empty() || answers(address, std::chrono::milliseconds(1000));
    }();
    return reached;
}

} // namespace vesko::SessionBus
