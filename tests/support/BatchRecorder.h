// SPDX-License-Identifier: GPL-3.0-or-later
// Records the batches a watcher hands over on its own thread, so that a test can wait for
// a path to be reported (with a timeout) instead of sleeping.
#pragma once

#include "scan/FileSystemWatcher.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vesko::test {

// A latency of 20 ms, so that tests wait for batches briefly.
FileSystemWatcher::Options fastWatcher(std::size_t watchLimit = SIZE_MAX);

class BatchRecorder {
public:
    using Batch = FileSystemWatcher::Batch;

    struct Seen {
        std::vector<Batch> batches;
        std::set<std::string> paths;   // of every batch's `paths`
        std::set<std::string> rescans; // of every batch's `mustScanSubtrees`
        std::set<std::thread::id> threads;
        std::set<std::string> threadNames;
    };

    FileSystemWatcher::Handler handler();

    // False when `done` still does not hold after `timeout`.
    bool waitFor(const std::function<bool(const Seen&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool waitForPath(const std::string& path);
    bool waitForSubtree(const std::string& path);
    // True once one of the paths was named in either list.
    bool waitForAny(const std::vector<std::string>& paths, std::chrono::milliseconds timeout);

    // How many times `path` was named for a rescan.
    static long rescanCount(const Seen& seen, const std::string& path);
    Seen seen() const;
    // Every batch so far merged into one, as the store merges them before applying; the
    // recorder forgets them.
    Batch takeMerged();

    // While held, the watcher's thread waits in the handler and reads no events.
    void hold(bool held);
    bool waitUntilHolding();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Seen seen_;
    bool held_ = false;
    int holding_ = 0;
};

} // namespace vesko::test
