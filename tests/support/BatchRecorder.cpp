// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/BatchRecorder.h"

#include <pthread.h>

#include <algorithm>
#include <array>

namespace vesko::test {

FileSystemWatcher::Options fastWatcher(std::size_t watchLimit) {
    FileSystemWatcher::Options options;
    options.latency = std::chrono::milliseconds(20);
    options.watchLimit = watchLimit;
    return options;
}

FileSystemWatcher::Handler BatchRecorder::handler() {
    return [this](Batch batch) {
        std::array<char, 16> name{};
        ::pthread_getname_np(::pthread_self(), name.data(), name.size());
        std::unique_lock lock(mutex_);
        ++holding_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        --holding_;
        seen_.threads.insert(std::this_thread::get_id());
        seen_.threadNames.insert(name.data());
        seen_.paths.insert(batch.paths.begin(), batch.paths.end());
        seen_.rescans.insert(batch.mustScanSubtrees.begin(), batch.mustScanSubtrees.end());
        seen_.batches.push_back(std::move(batch));
        changed_.notify_all();
    };
}

bool BatchRecorder::waitFor(const std::function<bool(const Seen&)>& done,
                            std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(seen_); });
}

bool BatchRecorder::waitForPath(const std::string& path) {
    return waitFor([&](const Seen& seen) { return seen.paths.contains(path); });
}

bool BatchRecorder::waitForSubtree(const std::string& path) {
    return waitFor([&](const Seen& seen) { return seen.rescans.contains(path); });
}

bool BatchRecorder::waitForAny(const std::vector<std::string>& paths,
                               std::chrono::milliseconds timeout) {
    return waitFor(
        [&](const Seen& seen) {
            return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) {
                return seen.paths.contains(p) || seen.rescans.contains(p);
            });
        },
        timeout);
}

long BatchRecorder::rescanCount(const Seen& seen, const std::string& path) {
    long count = 0;
    for (const auto& batch : seen.batches)
        count += std::count(batch.mustScanSubtrees.begin(), batch.mustScanSubtrees.end(), path);
    return count;
}

BatchRecorder::Seen BatchRecorder::seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

BatchRecorder::Batch BatchRecorder::takeMerged() {
    std::lock_guard lock(mutex_);
    Batch merged;
    for (auto& b : seen_.batches) {
        merged.paths.insert(merged.paths.end(), b.paths.begin(), b.paths.end());
        merged.mustScanSubtrees.insert(merged.mustScanSubtrees.end(), b.mustScanSubtrees.begin(),
                                       b.mustScanSubtrees.end());
        merged.lastEventID = std::max(merged.lastEventID, b.lastEventID);
    }
    seen_.batches.clear();
    seen_.paths.clear();
    seen_.rescans.clear();
    return merged;
}

void BatchRecorder::hold(bool held) {
    std::lock_guard lock(mutex_);
    held_ = held;
    changed_.notify_all();
}

bool BatchRecorder::waitUntilHolding() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return holding_ > 0; });
}

} // namespace vesko::test
