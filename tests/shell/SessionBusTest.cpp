// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SessionBus.h"
#include "ShellTestSupport.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace vesko {
namespace {

TEST(SessionBus, OnlyABusThatRepliesCounts) {
    test::TempTree folder;
    const std::string silent = folder.path("silent");
    const int silentFd = test::silentSocketAt(silent);
    const std::string replying = folder.path("replying");
    const int replyingFd = test::silentSocketAt(replying);
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
