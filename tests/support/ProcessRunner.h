// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program as a child process for end-to-end tests: environment overrides, standard
// input closed, standard output and error captured (output optionally through a
// pseudo-terminal), exit status or signal reported, killed after a timeout.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vesko::test {

struct Finished {
    int status = -1; // exit status; -1 when the child did not exit normally
    int signal = 0;  // the signal that ended it, else 0
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct Launch {
    std::vector<std::string> argv;                        // argv[0] is the program path
    std::vector<std::pair<std::string, std::string>> env; // added or replaced
    bool outputToTerminal = false;             // standard output is a pseudo-terminal (raw, no CR)
    std::chrono::milliseconds timeout{120000}; // then the child is killed
};

// A started child. Destroying one that still runs kills and reaps it.
class ChildProcess {
public:
    explicit ChildProcess(const Launch& launch);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int number) const;
    // Reads both streams to their end (or the timeout) and reaps the child.
    Finished wait();

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::chrono::steady_clock::time_point deadline_;
};

Finished run(const Launch& launch);

// The parts of `text` between separators; a trailing separator adds no empty part.
std::vector<std::string> splitLines(const std::string& text, char separator = '\n');

} // namespace vesko::test
