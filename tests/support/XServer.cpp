// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/XServer.h"

#include "support/ProcessRunner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vesko::test {
namespace {

void stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

// Reads the display number Xvfb writes to its -displayfd once it accepts connections.
std::string readDisplay(int fd) {
    std::string number;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 10'000) <= 0) return {};
        char buffer[16];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) return number.empty() ? std::string() : ":" + number;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') return ":" + number;
            number += buffer[i];
        }
    }
}

} // namespace

XServer::XServer(bool windowManager) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        problem_ = "no pipe for Xvfb";
        return;
    }
    server_ = ::fork();
    if (server_ == 0) {
        ::close(pipeFds[0]);
        const std::string fd = std::to_string(pipeFds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1000x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    display_ = server_ > 0 ? readDisplay(pipeFds[0]) : std::string();
    ::close(pipeFds[0]);
    if (display_.empty()) {
        problem_ = "Xvfb did not start (install xvfb)";
        stop(server_);
        return;
    }
    if (windowManager) startWindowManager();
}

XServer::~XServer() {
    stop(windowManager_);
    stop(server_);
}

void XServer::startWindowManager() {
    windowManager_ = ::fork();
    if (windowManager_ == 0) {
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Windows mapped before the manager runs are managed all the same, but the first
    // activation races its start: wait until it announces itself on the root window, however
    // long a busy machine takes (xprop names the check window's id then).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        Launch probe;
        probe.argv = {"xprop", "-display", display_, "-root", "_NET_SUPPORTING_WM_CHECK"};
        if (run(probe).out.find("window id") != std::string::npos) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    problem_ = "openbox did not start within 20 s";
}

} // namespace vesko::test
