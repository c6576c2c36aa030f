// SPDX-License-Identifier: MIT
#include "store/StoreTasks.h"

#include <QThread>

#include <algorithm>

namespace vesko {

StoreTasks::StoreTasks() {
    // A full build keeps one thread busy for its whole run (its own workers do the scan), a
    // batch application another; searches still need a free thread each.
    pool_.setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
    pool_.setExpiryTimeout(10'000);
    lane_.setMaxThreadCount(1);
}

StoreTasks::~StoreTasks() {
    waitForDone();
}

void StoreTasks::run(Priority priority, std::function<void()> work) {
    pool_.start(std::move(work), static_cast<int>(priority));
}

void StoreTasks::runSerially(std::function<void()> work) {
    lane_.start(std::move(work));
}

bool StoreTasks::waitForDone(std::chrono::milliseconds bound) {
    const auto start = std::chrono::steady_clock::now();
    if (!lane_.waitForDone(static_cast<int>(bound.count()))) return false;
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return pool_.waitForDone(static_cast<int>(std::max<std::int64_t>(0, (bound - spent).count())));
}

void StoreTasks::waitForDone() {
    lane_.waitForDone();
    pool_.waitForDone();
}

} // namespace vesko
