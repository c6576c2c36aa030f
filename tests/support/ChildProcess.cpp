// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ChildProcess.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace vesko::test {
namespace {

constexpr uid_t nobody = 65534;

bool dropPrivileges() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0 &&
           ::setresuid(nobody, nobody, nobody) == 0;
}

} // namespace

int runInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) ::_exit(body());
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runUnprivileged(const std::function<int()>& body) {
    return runInChild([&] {
        if (::geteuid() == 0 && !dropPrivileges()) return cannotSetUpChild;
        return body();
    });
}

} // namespace vesko::test
