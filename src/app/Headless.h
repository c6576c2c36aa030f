// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnostic command-line modes: a scan report over one root, search benchmarks and the
// drift and live-update probes over the saved archive. They run synchronously, show no
// window and print Korean reports, line by line or collected into the --out file.
#pragma once

#include "app/DevOptions.h"
#include "index/IndexArchive.h"
#include "scan/FileSystemWatcher.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vesko::Headless {

// Typing-section queries when none is given with --query: a word typed one letter at a
// time, a file name with a dot and a one-syllable Korean name.
inline const std::vector<std::string> builtInQueries{"s",     "sw",           "swi",
                                                     "swift", "package.json", "카"};
inline constexpr double targetMilliseconds = 50.0;

// The --scan mode: reads --root, --archive, --out and every --query from `args`.
void run(const Arguments& args);
// Every argument after a --query, in order; the built-in list when there is none.
std::vector<std::string> queries(const Arguments& args);

int bench(const std::optional<std::string>& out);
void driftTest(const std::optional<std::string>& out);
// Exit statuses of --bench and --watch: passed, a verdict failed, or bad usage (no saved
// archive; for --watch also a folder that does not exist or is no folder).
inline constexpr int statusPassed = 0;
inline constexpr int statusFailed = 1;
inline constexpr int statusUsage = 2;
int watchTest(const std::string& probe, const std::optional<std::string>& out);

inline const std::vector<std::string> benchQueries{"swift", "json", "s"};
inline const std::vector<std::int64_t> benchLimits{200, 500, 1000, 2000, 3000, 5000, 20000};
// "✅" up to 50 ms, "⚠️" up to 200 ms, "🔴" beyond.
const char* benchVerdict(double milliseconds);

// The folder as the index writes a root: absolute (a relative path is taken from the
// working directory) and without trailing slashes.
std::string absoluteFolder(const std::string& path);

// The archive at the default location, checked against the roots it says it was built for:
// these modes measure whatever the last --scan --archive saved.
std::optional<IndexArchive::Loaded> loadSavedArchive();

// Merges the batches the watcher delivers on its own thread until the probe takes them.
class Collector {
public:
    void add(FileSystemWatcher::Batch batch);
    // The merged batch so far; the collector starts empty again.
    FileSystemWatcher::Batch take();

private:
    std::mutex lock_;
    FileSystemWatcher::Batch batch_;
};

} // namespace vesko::Headless
