// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ProcessRunner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <stdexcept>
#include <string_view>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace vesko::test {
namespace {

std::vector<std::string> environmentWith(const Launch& launch) {
    std::vector<std::string> env;
    for (const auto& [name, value] : launch.env)
        env.push_back(name + "=" + value);
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : launch.env)
            replaced = replaced || entry.starts_with(name + "=");
        if (!replaced) env.emplace_back(entry);
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (auto& t : texts)
        p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// A raw terminal, so the child's bytes arrive unchanged (no "\n" to "\r\n").
void openTerminal(int& master, int& slave) {
    termios mode{};
    cfmakeraw(&mode);
    if (::openpty(&master, &slave, nullptr, &mode, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
}

// True while the stream may still deliver bytes.
bool drain(int& fd, std::string& into) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    ::close(fd); // end of file, or EIO from a terminal whose other side is closed
    fd = -1;
    return false;
}

} // namespace

ChildProcess::ChildProcess(const Launch& launch)
    : deadline_(std::chrono::steady_clock::now() + launch.timeout) {
    int out[2];
    int err[2];
    if (launch.outputToTerminal)
        openTerminal(out[0], out[1]);
    else if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> argv = launch.argv;
    std::vector<std::string> env = environmentWith(launch);
    auto args = pointers(argv);
    auto envp = pointers(env);
    const int spawned = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + launch.argv.front());
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
}

void ChildProcess::signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
}

Finished ChildProcess::wait() {
    Finished run;
    while (outFd_ >= 0 || errFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !run.timedOut) {
            run.timedOut = true;
            ::kill(pid_, SIGKILL);
        }
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (::poll(fds, 2, run.timedOut ? 1000 : static_cast<int>(left.count())) <= 0) {
            if (run.timedOut) break; // a grandchild may hold the pipe open
            continue;
        }
        if (fds[0].revents) drain(outFd_, run.out);
        if (fds[1].revents) drain(errFd_, run.err);
    }
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    }
    pid_ = -1;
    return run;
}

Finished run(const Launch& launch) {
    ChildProcess child(launch);
    return child.wait();
}

std::vector<std::string> splitLines(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    if (from < text.size()) parts.push_back(text.substr(from));
    return parts;
}

} // namespace vesko::test
