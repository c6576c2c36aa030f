// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the store takes from the outside world: its timers' periods, its clocks, where
// the preferences, the archive and the mount table live, and the developer options. The
// defaults are the real ones; tests shorten the periods and drive the clocks by hand.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

struct Volume;

struct StoreTiming {
    using Duration = std::chrono::milliseconds;

    // Quiet period after the last file-system batch before the merged batch is applied.
    Duration flushDelay{700};
    // Applied changes are saved at most this often; termination saves regardless.
    Duration saveInterval{300'000};
    // The drift watchdog's period; each tick checks whether the index is due a rebuild.
    Duration watchdogInterval{3'600'000};
    // The auxiliary reaper's period; each tick also rescans folders inotify cannot watch.
    Duration reaperInterval{30'000};
    // The navigator is released once unused this long.
    Duration idleRelease{90'000};
    // While a first scan, or the read of a folder outside the roots, runs, what it has read
    // is installed at most this often.
    Duration partialInterval{500};
    // Expensive searches wait this long for the next keystroke.
    Duration regexDebounce{250};
    Duration contentDebounce{350};
    // Results that stayed this long put their query in the search history.
    Duration historySettle{1500};
    // Seconds since the last full scan after which the index counts as drifted.
    double maximumAge = 86'400.0;
    // More unresolved paths than this since the last full scan, and the index is rebuilt.
    std::int64_t maximumUnresolved = 500;

    // The monotonic clock of the save rule and the idle release.
    std::function<std::chrono::steady_clock::time_point()> steadyNow;
    // Seconds since 1970, for the last-full-scan date.
    std::function<double()> wallNow;
};

struct StoreEnvironment {
    StoreTiming timing;
    // The preferences file; empty for the user's own.
    std::string settingsPath;
    std::string home; // empty: the user's home folder
    // Where the archive of a set of normalised roots lives.
    std::function<std::string(const std::vector<std::string>& roots)> archivePath;
    // The mount table, watched for changes, and how volumes and paths are looked up.
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::function<std::vector<Volume>()> mountedVolumes;
    std::function<bool(const std::string& path)> pathExists;
    // Where the kernel's inotify watch limit is read.
    std::string maxUserWatchesPath = "/proc/sys/fs/inotify/max_user_watches";
    // Folders the watcher watches at most; past it they count as past the kernel's limit.
    std::size_t watchLimit = std::numeric_limits<std::size_t>::max();
    // Off for tests that hand the store batches themselves.
    bool watchFileSystem = true;
    int buildWorkers = 0; // 0: the builder's default
    // Called on the scan's thread after each part of a first scan or of an outside folder's
    // read is handed over; the scan waits for it, so a test can hold the scan there.
    std::function<void()> partialHandedOver;
    // --dev-root: index exactly this folder. --dev-select: select this row once.
    std::optional<std::string> devRoot;
    std::optional<std::int64_t> devSelect;

    // Fills every unset function and path with the real one.
    StoreEnvironment completed() const;
};

} // namespace vesko
