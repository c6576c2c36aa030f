// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server (Xvfb) for tests of real windows, keys and the clipboard, with an
// optional window manager so activation and focus behave as on a desktop. Stopped, with
// everything it started, when the object goes away.
#pragma once

#include <string>
#include <sys/types.h>

namespace vesko::test {

class XServer {
public:
    // Starts Xvfb on a free display; `display()` is empty when that failed (the test skips).
    explicit XServer(bool windowManager = true);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when no server runs.
    const std::string& display() const { return display_; }
    // Why the server is missing, for a skip message.
    const std::string& problem() const { return problem_; }

private:
    void startWindowManager();

    std::string display_;
    std::string problem_;
    pid_t server_ = -1;
    pid_t windowManager_ = -1;
};

} // namespace vesko::test
