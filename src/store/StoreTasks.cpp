// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreTasks.h"

#include <malloc.h>

#include <algorithm>
#include <mutex>

namespace vesko {
namespace {

int poolSize() {
    // A full build keeps one thread busy for its whole run (its own workers do the scan), a
    // batch application another; searches still need a free thread each.
    return std::max(4, static_cast<int>(std::thread::hardware_concurrency()));
}

// glibc gives each thread that allocates an arena of its own, up to eight per core, and memory
// freed in an arena stays there: after hours of churn, pool threads, search threads and the
// watcher each held megabytes resident that no single arena could hand back (the process
// kept 1.35 times a fresh one's memory; with two arenas, 1.12). Two arenas serve two cores.
void shareAllocatorArenas() {
    static std::once_flag once;
    std::call_once(once, [] { ::mallopt(M_ARENA_MAX, 2); });
}

} // namespace

StoreTasks::Queue::Queue(int threads) {
    shareAllocatorArenas();
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { workLoop(); });
}

StoreTasks::Queue::~Queue() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void StoreTasks::Queue::push(int priority, std::function<void()> work) {
    {
        std::lock_guard guard(lock_);
        jobs_.push_back({priority, nextOrder_++, std::move(work)});
        std::push_heap(jobs_.begin(), jobs_.end(), [](const Job& a, const Job& b) {
            return a.priority != b.priority ? a.priority < b.priority : a.order > b.order;
        });
    }
    wake_.notify_one();
}

void StoreTasks::Queue::workLoop() {
    const auto later = [](const Job& a, const Job& b) {
        return a.priority != b.priority ? a.priority < b.priority : a.order > b.order;
    };
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
        // Queued work still runs at shutdown: a save must not be dropped half-way.
        if (jobs_.empty()) return;
        std::pop_heap(jobs_.begin(), jobs_.end(), later);
        Job job = std::move(jobs_.back());
        jobs_.pop_back();
        ++busy_;
        guard.unlock();
        job.work();
        job.work = nullptr; // captures are released outside the lock, before "done"
        guard.lock();
        --busy_;
        if (busy_ == 0 && jobs_.empty()) done_.notify_all();
    }
}

bool StoreTasks::Queue::waitForDone(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(lock_);
    return done_.wait_until(guard, deadline, [this] { return busy_ == 0 && jobs_.empty(); });
}

void StoreTasks::Queue::waitForDone() {
    std::unique_lock guard(lock_);
    done_.wait(guard, [this] { return busy_ == 0 && jobs_.empty(); });
}

StoreTasks::StoreTasks(QObject* home)
    : mailbox_(new StoreMailbox(home)), pool_(poolSize()), lane_(1) {}

StoreTasks::~StoreTasks() {
    waitForDone();
}

void StoreTasks::run(Priority priority, std::function<void()> work) {
    pool_.push(static_cast<int>(priority), std::move(work));
}

void StoreTasks::runSerially(std::function<void()> work) {
    lane_.push(0, std::move(work));
}

void StoreTasks::deliver(std::function<void()> result) {
    mailbox_->post(std::move(result));
}

void StoreMailbox::post(std::function<void()> result) {
    bool first = false;
    {
        std::lock_guard guard(lock_);
        first = mail_.empty();
        mail_.push_back(std::move(result));
    }
    if (first) QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void StoreMailbox::drain() {
    std::vector<std::function<void()>> mail;
    {
        std::lock_guard guard(lock_);
        mail.swap(mail_);
    }
    for (auto& result : mail)
        result();
}

bool StoreTasks::waitForDone(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    return lane_.waitForDone(deadline) && pool_.waitForDone(deadline);
}

void StoreTasks::waitForDone() {
    lane_.waitForDone();
    pool_.waitForDone();
}

} // namespace vesko
