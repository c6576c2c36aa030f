// SPDX-License-Identifier: GPL-3.0-or-later
// Turns inotify's per-folder change notifications for whole trees into batches of absolute
// paths for the updater: what changed, which subtrees must be rescanned because the
// notifications for them are incomplete, and an event identifier that grows across restarts.
#pragma once

#include "scan/Roots.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vesko {

// What the watcher reports at once.
struct WatchBatch {
    // Items created, removed, moved, written or with changed attributes, in the order read;
    // duplicates possible.
    std::vector<std::string> paths;
    // Folders whose notifications are incomplete (a lost event queue, a replaced root, an
    // unwatched folder); the whole subtree must be read again.
    std::vector<std::string> mustScanSubtrees;
    std::uint64_t lastEventID = 0;
};

class FileSystemWatcher {
public:
    using Batch = WatchBatch;

    // Runs on the watcher's own thread, one batch at a time; it must not block for long, must
    // not throw, and must not call `start` or `stop` of the watcher that calls it.
    using Handler = std::function<void(Batch)>;

    struct Options {
        // After one batch went out, later changes wait up to this long to join the next one;
        // the first change after a quiet period of this length goes out at once.
        std::chrono::milliseconds latency{500};
        // Folders watched at most; past it they are treated as if the kernel's limit had been
        // reached. The kernel's own limit is fs.inotify.max_user_watches.
        std::size_t watchLimit = std::numeric_limits<std::size_t>::max();
        // Microseconds since 1970 on the real-time clock; identifiers come from it.
        std::function<std::uint64_t()> clock;
    };

    explicit FileSystemWatcher(Handler handler);
    FileSystemWatcher(Handler handler, Options options);
    ~FileSystemWatcher();
    FileSystemWatcher(const FileSystemWatcher&) = delete;
    FileSystemWatcher& operator=(const FileSystemWatcher&) = delete;

    // Stops any running watch, then watches every folder below the absolute `roots` except
    // inside `excluded`. Returns once every existing folder is watched, so any change made
    // afterwards is reported; the walk costs one open, a few getdents64 and one
    // inotify_add_watch per folder on the caller's thread. `since` 0 reports changes from
    // now on; any other value is an identifier of an earlier run, and as inotify keeps no
    // history the first batch then names every root in `mustScanSubtrees`. Identifiers
    // handed out afterwards are above `since`. No roots, or no inotify instance to be had:
    // stays stopped and reports nothing. Throws std::invalid_argument for a relative root.
    void start(const std::vector<std::string>& roots, std::uint64_t since,
               const ExcludedSet& excluded = {});

    // Ends the reader thread and closes its descriptors; no batch is delivered afterwards.
    void stop();

    bool isRunning() const { return thread_.joinable(); }

    // True once a folder could not be watched because the kernel's or this watcher's limit
    // on watches was reached; cleared by `start`. Safe from any thread.
    bool watchLimitReached() const { return watchLimitReached_.load(std::memory_order_acquire); }

private:
    class Session;

    Handler handler_;
    Options options_;
    std::atomic<bool> watchLimitReached_{false};
    std::uint64_t lastEventID_ = 0; // carried from one session to the next
    std::unique_ptr<Session> session_;
    std::thread thread_;
};

} // namespace vesko
