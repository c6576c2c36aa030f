// SPDX-License-Identifier: GPL-3.0-or-later
// Runs part of a test in a forked child: to give up root (which reads every folder, so
// permission faults are only seen as another user) or to change the process for good
// (a seccomp filter) without touching the test runner.
#pragma once

#include <functional>

namespace vesko::test {

// The exit code of a child that could not set itself up; the test should skip.
inline constexpr int cannotSetUpChild = 77;

// Runs `body` in a forked child and returns its exit code, or -1 when it did not exit.
int runInChild(const std::function<int()>& body);

// As runInChild, with the child switched to the user and group "nobody" first when the
// tests run as root; returns cannotSetUpChild when the switch fails.
int runUnprivileged(const std::function<int()>& body);

} // namespace vesko::test
