// SPDX-License-Identifier: GPL-3.0-or-later
// What the shell's tests share: a store over a private tree that never watches the disk, a
// client served from this thread, a session bus of their own, and a socket that takes
// connections and never answers, as a hung Vesko or bus does.
#pragma once

#include "shell/SingleInstance.h"
#include "store/IndexStore.h"
#include "support/TempTree.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace vesko::test {

// A store that indexes `root` alone, with its settings and archive in `state`.
inline StoreEnvironment privateEnvironment(const std::string& root, TempTree& state) {
    StoreEnvironment env;
    env.devRoot = root;
    env.settingsPath = state.path("vesko.conf");
    env.archivePath = [&state](const std::vector<std::string>&) {
        return state.path("index.veskoindex");
    };
    env.watchFileSystem = false;
    return env;
}
inline std::unique_ptr<IndexStore> privateStore(const std::string& root, TempTree& state) {
    return std::make_unique<IndexStore>(privateEnvironment(root, state));
}

// Runs `work` on another thread while this one serves the event loop, as a client in
// another process would ask.
template <typename Work> auto whileServing(Work work) {
    auto done = std::async(std::launch::async, work);
    while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return done.get();
}

// A dbus-daemon of the test's own, so nothing reaches the desktop the tests run on.
class PrivateBus {
public:
    PrivateBus() {
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out) return;
        char line[512] = {};
        if (std::fgets(line, sizeof line, out)) address_ = QString::fromUtf8(line).trimmed();
        if (std::fgets(line, sizeof line, out)) pid_ = std::atoi(line);
        ::pclose(out);
    }
    ~PrivateBus() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    QString address() const { return address_; }

private:
    QString address_;
    int pid_ = 0;
};

// Whether the Vesko listening at `socket` answers with an index that a save would write.
inline bool instanceReady(const std::string& socket) {
    std::vector<std::string> lines;
    return SingleInstance::send(socket, "status", std::chrono::milliseconds(500), &lines) ==
               SingleInstance::Handover::delivered &&
           lines == std::vector<std::string>{"ready"};
}

// A Unix socket bound at `path` that nobody serves: listening (a hung program; the caller
// closes the returned descriptor), or closed at once, which leaves the file behind as a
// crashed program does (returns -1).
inline int silentSocketAt(const std::string& path, bool listening = true) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    if (listening) return ::listen(fd, 4), fd;
    ::close(fd);
    return -1;
}

} // namespace vesko::test
