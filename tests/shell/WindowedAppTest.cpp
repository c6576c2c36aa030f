// SPDX-License-Identifier: GPL-3.0-or-later
// The real executable on the run's X server, with private runtime, settings and cache
// folders: the hand-over to a running Vesko, quitting with Ctrl+Q or SIGTERM, and a start
// without any display.
#include "shell/WindowedApp.h"
#include "ShellTestSupport.h"
#include "shell/SingleInstance.h"

#include "index/IndexArchive.h"
#include "scan/IndexBuilder.h"
#include "support/ProcessRunner.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QTest>

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vesko {
namespace {

constexpr int patience = 30'000;

// Whether the child has ended; it is left for ChildProcess::wait to reap.
bool hasEnded(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

test::Finished xdotool(std::vector<std::string> arguments) {
    test::Launch l;
    l.argv = {"/usr/bin/xdotool"};
    l.argv.insert(l.argv.end(), arguments.begin(), arguments.end());
    return test::run(l);
}

class ShellExecutable : public ::testing::Test {
protected:
    ShellExecutable() {
        tree.file("alpha.txt", "a");
        tree.dir("beta");
        state.dir("run");
        state.chmod("run", 0700);
        cache.set("XDG_CACHE_HOME", state.dir("cache"));
    }

    test::Launch launch(std::vector<std::string> arguments) const {
        test::Launch l;
        l.argv = {VESKO_EXECUTABLE};
        l.argv.insert(l.argv.end(), arguments.begin(), arguments.end());
        l.env = {{"XDG_RUNTIME_DIR", state.path("run")},
                 {"XDG_CONFIG_HOME", state.path("config")},
                 {"XDG_CACHE_HOME", state.path("cache")},
                 {"QT_QPA_PLATFORM", "xcb"},
                 {"WAYLAND_DISPLAY", ""}};
        l.timeout = std::chrono::milliseconds(patience);
        return l;
    }
    std::string socket() const { return state.path("run/vesko.socket"); }

    bool waitUntilReady() const {
        return QTest::qWaitFor([&] { return test::instanceReady(socket()); }, patience);
    }
    static std::string visibleWindow(pid_t pid) {
        const auto found = xdotool({"search", "--all", "--onlyvisible", "--pid",
                                    std::to_string(pid), "--name", "^Vesko$"});
        const auto ids = test::splitLines(found.out);
        return ids.empty() ? std::string() : ids.front();
    }
    bool archiveLoads() const {
        const auto roots = IndexBuilder::normalize({tree.root()});
        const auto loaded = IndexArchive::load(roots, IndexArchive::urlFor(roots));
        return loaded && loaded->index.count() >= 2;
    }

    test::TempTree tree;
    test::TempTree state;
    test::ScopedEnv cache;
};

TEST_F(ShellExecutable, SecondStartShowsTheRunningWindowAndCtrlQSavesAndQuits) {
    test::ChildProcess first(launch({"--dev-root", tree.root()}));
    ASSERT_TRUE(waitUntilReady());
    std::string window;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !(window = visibleWindow(first.pid())).empty(); }, patience));
    xdotool({"windowminimize", "--sync", window});
    // The window manager unmaps the window after xdotool's own wait has returned.
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleWindow(first.pid()).empty(); }, patience));

    const auto second = test::run(launch({}));
    EXPECT_EQ(second.status, 0) << second.err;
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleWindow(first.pid()) == window; }, patience));
    // "Search here" from a file manager reaches the same window.
    const auto searchHere = test::run(launch({"--search-in", tree.path("beta")}));
    EXPECT_EQ(searchHere.status, 0) << searchHere.err;
    EXPECT_EQ(searchHere.err, "");

    xdotool({"windowactivate", "--sync", window, "key", "ctrl+q"});
    const auto finished = first.wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_TRUE(archiveLoads());
}

TEST_F(ShellExecutable, StartsPastAStaleSocketAndASilentBusAndSigtermSavesAnyway) {
    test::silentSocketAt(socket(), false);
    // A session bus that takes the connection and never answers, with the tray icon on.
    const int bus = test::silentSocketAt(state.path("bus"), true);
    state.file("config/vesko/vesko.conf", "[General]\nshowInMenuBar=true\n");
    auto l = launch({"--dev-root", tree.root(), "--hidden"});
    l.env.emplace_back("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + state.path("bus"));

    test::ChildProcess vesko(l);
    ASSERT_TRUE(waitUntilReady());
    // The second signal arrives while the first one's save runs.
    vesko.signal(SIGTERM);
    vesko.signal(SIGTERM);
    const auto finished = vesko.wait();
    EXPECT_EQ(finished.status, 0) << finished.err;
    EXPECT_EQ(finished.signal, 0);
    EXPECT_TRUE(archiveLoads());
    ::close(bus);
}

// The second start may come while the first has not yet listened, is still loading, or is
// already answering; whichever takes the lock stays, the other hands over and leaves.
TEST_F(ShellExecutable, PairsOfStartsAtAnyGapLeaveOneVeskoThatAnswers) {
    const unsigned seed = std::random_device{}();
    std::printf("single instance: seed %u\n", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> gaps(0, 500);
    for (int pair = 0; pair < 20; ++pair) {
        const int gap = gaps(random);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", pair " + std::to_string(pair) + ", gap " +
                     std::to_string(gap) + " ms");
        std::vector<std::unique_ptr<test::ChildProcess>> starts;
        starts.push_back(
            std::make_unique<test::ChildProcess>(launch({"--dev-root", tree.root(), "--hidden"})));
        std::this_thread::sleep_for(std::chrono::milliseconds(gap));
        starts.push_back(std::make_unique<test::ChildProcess>(launch({"--dev-root", tree.root()})));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return hasEnded(starts[0]->pid()) || hasEnded(starts[1]->pid()); }, 10'000));
        const std::size_t left = hasEnded(starts[0]->pid()) ? 0 : 1;
        const auto handedOver = starts[left]->wait();
        EXPECT_EQ(handedOver.status, 0) << handedOver.err;
        EXPECT_EQ(handedOver.err.find("launcher"), std::string::npos) << handedOver.err;
        EXPECT_EQ(SingleInstance::send(socket(), "ping", std::chrono::milliseconds(5000)),
                  SingleInstance::Handover::delivered);
        test::ChildProcess& stays = *starts[1 - left];
        ASSERT_FALSE(hasEnded(stays.pid()));
        stays.signal(SIGTERM);
        const auto ended = stays.wait();
        ASSERT_EQ(ended.status, 0) << ended.err;
    }
}

TEST_F(ShellExecutable, AStartBesideAStoppedVeskoSaysSoAndLeavesItsSocket) {
    test::ChildProcess first(launch({"--dev-root", tree.root(), "--hidden"}));
    ASSERT_TRUE(waitUntilReady());
    first.signal(SIGSTOP);
    auto l = launch({"--dev-root", tree.root()});
    l.timeout = std::chrono::milliseconds(20'000);
    const auto second = test::run(l);
    // --find asks the same socket, briefly, and then reads the folder itself.
    auto find = launch({"--find", "--root", tree.root(), "alpha"});
    find.timeout = std::chrono::milliseconds(5'000);
    const auto found = test::run(find);
    first.signal(SIGCONT);
    EXPECT_EQ(found.out, tree.path("alpha.txt") + "\n") << found.err;
    EXPECT_FALSE(second.timedOut);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("does not answer"), std::string::npos) << second.err;
    EXPECT_EQ(SingleInstance::send(socket(), "ping", std::chrono::milliseconds(5000)),
              SingleInstance::Handover::delivered);
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait().status, 0);
}

TEST_F(ShellExecutable, WithoutADisplayOneLineExplainsAndTheExitIsOne) {
    auto l = launch({});
    l.env.emplace_back("DISPLAY", "");
    const auto finished = test::run(l);
    EXPECT_EQ(finished.status, 1);
    EXPECT_EQ(finished.err, WindowedApp::noDisplayText);
}

} // namespace
} // namespace vesko
