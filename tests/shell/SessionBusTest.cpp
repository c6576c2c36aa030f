// SPDX-License-Identifier: MIT
#include "shell/SessionBus.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace vesko {
namespace {

int listenAt(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::listen(fd, 4);
    return fd;
}

TEST(SessionBus, OnlyABusThatRepliesCounts) {
    test::TempTree folder;
    const std::string silent = folder.path("silent");
    const int silentFd = listenAt(silent);
    const std::string replying = folder.path("replying");
    const int replyingFd = listenAt(replying);
    std::jthread server([replyingFd] {
        const int client = ::accept(replyingFd, nullptr, nullptr);
        char buffer[256];
        [[maybe_unused]] auto got = ::read(client, buffer, sizeof buffer);
        [[maybe_unused]] auto sent = ::write(client, "REJECTED EXTERNAL\r\n", 19);
        ::close(client);
    });
    const auto patience = std::chrono::milliseconds(300);
    EXPECT_FALSE(SessionBus::answers("unix:path=" + silent, patience));
    EXPECT_FALSE(SessionBus::answers("unix:path=" + folder.path("missing"), patience));
    EXPECT_TRUE(SessionBus::answers("unix:path=" + replying + ",guid=0123", patience));
    // Transports this cannot check are left to Qt.
    EXPECT_TRUE(SessionBus::answers("tcp:host=localhost,port=1", patience));
    server.join();
    ::close(silentFd);
    ::close(replyingFd);
}

} // namespace
} // namespace vesko
