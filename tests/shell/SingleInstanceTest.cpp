// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SingleInstance.h"
#include "ShellTestSupport.h"

#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko {
namespace {

using Handover = SingleInstance::Handover;

Handover sendWhileServing(const std::string& path, const std::string& request) {
    return test::whileServing(
        [&] { return SingleInstance::send(path, request, std::chrono::milliseconds(5000)); });
}

TEST(SingleInstance, ShowAndSearchInCarryTheirArgumentsAndUnknownRequestsAreRefused) {
    test::TempTree folder;
    const std::string path = folder.path("vesko.socket");
    SingleInstance server;
    ASSERT_TRUE(server.listen(path)) << server.problem().toStdString();
    QSignalSpy shown(&server, &SingleInstance::showRequested);
    EXPECT_EQ(sendWhileServing(path, "show token-123"), Handover::delivered);
    EXPECT_EQ(sendWhileServing(path, "show"), Handover::delivered);
    EXPECT_EQ(sendWhileServing(path, "find *.txt"), Handover::rejected);
    ASSERT_EQ(shown.count(), 2);
    EXPECT_EQ(shown[0][0].toByteArray(), QByteArray("token-123"));
    EXPECT_TRUE(shown[1][0].toByteArray().isEmpty());

    // A folder's bytes arrive whole: spaces, a line feed, a percent sign, not UTF-8.
    QSignalSpy searchIn(&server, &SingleInstance::searchInRequested);
    const std::string odd = "/tmp/a b%41\n/bad\xFF\xEF\xBF\xBD";
    EXPECT_EQ(sendWhileServing(path, InstanceSocket::searchInRequest(odd, "tok")),
              Handover::delivered);
    EXPECT_EQ(sendWhileServing(path, InstanceSocket::searchInRequest("/tmp", nullptr)),
              Handover::delivered);
    EXPECT_EQ(sendWhileServing(path, "search-in relative"), Handover::rejected);
    ASSERT_EQ(searchIn.count(), 2);
    EXPECT_EQ(searchIn[0][0].toByteArray().toStdString(), odd);
    EXPECT_EQ(searchIn[0][1].toByteArray(), QByteArray("tok"));
    EXPECT_EQ(searchIn[1][0].toByteArray(), QByteArray("/tmp"));
    EXPECT_TRUE(searchIn[1][1].toByteArray().isEmpty());
}

TEST(SingleInstance, StaleSocketsAreTakenOverAndForeignOnesLeftAlone) {
    test::TempTree folder;
    const std::string crashed = folder.path("crashed.socket");
    test::silentSocketAt(crashed, false);
    const std::string hung = folder.path("hung.socket");
    const int hungFd = test::silentSocketAt(hung, true);
    const std::string plain = folder.file("plain.socket", "not a socket");
    const std::string foreign = folder.path("foreign.socket");
    test::silentSocketAt(foreign, false);
    const bool canChown = ::chown(foreign.c_str(), 65534, 65534) == 0 && ::getuid() != 65534;

    EXPECT_EQ(SingleInstance::send(folder.path("missing.socket"), "show"),
              Handover::nobodyListening);
    EXPECT_EQ(SingleInstance::send(crashed, "show"), Handover::nobodyListening);
    EXPECT_EQ(SingleInstance::send(hung, "show"), Handover::unanswered);
    EXPECT_EQ(SingleInstance::send(plain, "show"), Handover::foreign);
    if (canChown) {
        EXPECT_EQ(SingleInstance::send(foreign, "show"), Handover::foreign);
    }
    ::close(hungFd);

    for (const std::string& stale : {crashed, hung}) {
        SingleInstance server;
        ASSERT_TRUE(server.listen(stale)) << server.problem().toStdString();
        EXPECT_EQ(sendWhileServing(stale, "ping"), Handover::delivered);
    }
    SingleInstance refused;
    EXPECT_FALSE(refused.listen(plain));
    EXPECT_EQ(test::readFile(plain), "not a socket");
    if (canChown) {
        EXPECT_FALSE(refused.listen(foreign));
    }
}

unsigned modeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Without a runtime folder the socket goes to a private folder in the user's own cache, which
// no other user can have made first; a folder of someone else's is named once on stderr.
TEST(SingleInstance, WithoutARuntimeFolderTheSocketLivesInTheUsersCache) {
    test::TempTree home;
    test::ScopedEnv env("XDG_CACHE_HOME", home.path("cache"));
    env.set("XDG_RUNTIME_DIR", std::nullopt);
    const std::string expected = home.path("cache/vesko/run/vesko.socket");
    // `vesko --find` only looks for a running Vesko's socket and makes nothing.
    EXPECT_EQ(SingleInstance::socketPath(SingleInstance::Folder::existing), std::nullopt);
    EXPECT_TRUE(home.listAll().empty());
    EXPECT_EQ(SingleInstance::socketPath(), expected);
    EXPECT_EQ(modeOf(home.path("cache/vesko/run")), 0700u);
    EXPECT_EQ(SingleInstance::socketPath(SingleInstance::Folder::existing), expected);

    if (::getuid() != 0) GTEST_SKIP() << "needs root to give folders to another user";
    const std::string theirs = home.dir("theirs");
    ASSERT_EQ(::chmod(theirs.c_str(), 0700), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    env.set("XDG_RUNTIME_DIR", theirs);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SingleInstance::socketPath(), expected);
    EXPECT_EQ(SingleInstance::socketPath(), expected);
    const std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_NE(warned.find(theirs), std::string::npos) << warned;
    EXPECT_EQ(warned.find(theirs), warned.rfind(theirs)) << "warned twice: " << warned;
}

} // namespace
} // namespace vesko
