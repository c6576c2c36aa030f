// SPDX-License-Identifier: GPL-3.0-or-later
// The store's background work: one pool whose queue runs the most urgent work first
// (searches before updates before saves), one serial lane for the watcher, whose start and
// stop must never overlap, and the way results get back to the store's thread. Built on
// standard threads and mutexes rather than QThreadPool, so that a thread-sanitizer build
// sees every hand-over between threads (Qt's own locks are not instrumented).
#pragma once

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vesko {

// Results from other threads, run in order on the thread this object lives on. Woken by a
// queued call by name, so no functor built on the sending thread crosses over (a sanitizer
// cannot see Qt's own hand-over of one).
class StoreMailbox : public QObject {
    Q_OBJECT
public:
    explicit StoreMailbox(QObject* parent) : QObject(parent) {}
    // From any thread.
    void post(std::function<void()> result);

private:
    Q_INVOKABLE void drain();

    std::mutex lock_;
    std::vector<std::function<void()>> mail_;
};

class StoreTasks {
public:
    enum class Priority { background = 0, utility = 1, userInitiated = 2 };

    // Results handed to `deliver` run on the thread of `home`.
    explicit StoreTasks(QObject* home);
    ~StoreTasks();
    StoreTasks(const StoreTasks&) = delete;
    StoreTasks& operator=(const StoreTasks&) = delete;

    void run(Priority priority, std::function<void()> work);
    // One task at a time, in the order given.
    void runSerially(std::function<void()> work);
    // From any thread: runs `result` on the home thread, in the order delivered.
    void deliver(std::function<void()> result);

    // Waits for every queued and running task; false when the bound passed first.
    bool waitForDone(std::chrono::milliseconds bound);
    void waitForDone();

private:
    class Queue {
    public:
        explicit Queue(int threads);
        ~Queue();
        void push(int priority, std::function<void()> work);
        bool waitForDone(std::chrono::steady_clock::time_point deadline);
        void waitForDone();

    private:
        struct Job {
            int priority;
            std::uint64_t order;
            std::function<void()> work;
        };
        void workLoop();

        std::mutex lock_;
        std::condition_variable wake_;
        std::condition_variable done_;
        std::vector<Job> jobs_; // a heap: highest priority, then oldest, on top
        std::uint64_t nextOrder_ = 0;
        int busy_ = 0;
        bool stopping_ = false;
        std::vector<std::thread> threads_;
    };

    StoreMailbox* mailbox_; // owned by the home object
    Queue pool_;
    Queue lane_;
};

} // namespace vesko
