// SPDX-License-Identifier: MIT
// The store's background work: one pool whose queue runs the most urgent work first
// (searches before updates before saves), and one serial lane for the watcher, whose start
// and stop must never overlap. Results go back to the store by queued invocation.
#pragma once

#include <QThreadPool>

#include <chrono>
#include <functional>

namespace vesko {

class StoreTasks {
public:
    enum class Priority { background = 0, utility = 1, userInitiated = 2 };

    StoreTasks();
    ~StoreTasks();
    StoreTasks(const StoreTasks&) = delete;
    StoreTasks& operator=(const StoreTasks&) = delete;

    void run(Priority priority, std::function<void()> work);
    // One task at a time, in the order given.
    void runSerially(std::function<void()> work);

    // Waits for every queued and running task; false when the bound passed first.
    bool waitForDone(std::chrono::milliseconds bound);
    void waitForDone();

private:
    QThreadPool pool_;
    QThreadPool lane_;
};

} // namespace vesko
