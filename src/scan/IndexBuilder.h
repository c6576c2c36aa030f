// SPDX-License-Identifier: GPL-3.0-or-later
// Builds a complete FileIndex of a set of roots in one parallel pass: workers share a LIFO
// stack of folders, list each with one bulk call per buffer, intern names into the shared
// NameTable, keep entries in blocks of their own and merge them once at the end, giving each
// block back as it is copied, so that a build peaks near the size of what it builds. While
// it runs it can hand out copies of what has been read so far (Publication).
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "scan/Roots.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vesko::IndexBuilder {

// A root that could not be listed at all, and the errno that said why.
struct UnreadableRoot {
    std::string path;
    int error = 0;
    bool operator==(const UnreadableRoot&) const = default;
};

struct Report {
    std::int64_t entries = 0;
    std::int64_t directories = 0;
    std::int64_t uniqueNames = 0;
    std::int64_t deniedDirectories = 0;
    std::int64_t syscalls = 0;
    double duration = 0;
    std::int64_t payloadBytes = 0;
    // Also counted in deniedDirectories; in root order.
    std::vector<UnreadableRoot> unreadableRoots;
};

struct Result {
    FileIndex index;
    SharedNameTable names;
    Report report;
    // Set when the build could not complete (more than 2^32 folders, a full name-table
    // shard): the index is then empty and must not be used.
    std::optional<std::string> error;
};

// The fixed exclusions: four system paths plus the Linux pseudo file systems.
const std::vector<std::string>& systemExcludedPaths();

// Trailing slashes dropped ("/" stays "/"), duplicates and roots inside kept roots
// skipped, kept roots inside a new one removed. A root's position is its directory id.
std::vector<std::string> normalize(const std::vector<std::string>& roots);

// The fixed paths, the five per-root folders of every root, and the user's excluded
// folders. Matched by exact path text against each sub-folder's full path.
ExcludedSet excluded(const std::vector<std::string>& roots,
                     const std::vector<std::string>& excludedFolders = {});

// The user's home folder as the only root.
std::vector<std::string> defaultRoots();
// Active processors, at least 2 and at most 8.
int defaultWorkers();

// About how many entries a build of the roots will find, for telling its progress before
// it ends: the used inodes (statvfs f_files - f_ffree) of each file system a root lies on,
// each file system counted once. A file system holds more than the roots inside it, so this
// guesses high; never above `cap`. 0 when no file system tells (btrfs keeps no count).
std::int64_t expectedEntries(const std::vector<std::string>& roots, std::int64_t cap = 100'000'000);

// Directory ids are 32-bit and the count must fit in 32 bits as well.
inline constexpr std::uint64_t maxDirectories = 0xFFFFFFFFull;

// Capacity limits of one build; tests lower them to reach the overflow path cheaply.
struct Limits {
    std::uint64_t maxDirectories = IndexBuilder::maxDirectories;
    // Listed folders kept open at once so that their sub-folders are opened by name; past
    // it a folder is opened by its whole path, which costs a lookup of every component.
    int heldFolders = 256;
    // For a caller that shows the build and lets the user stop it (set from any thread): the
    // folders listed so far, and a stop at the next folder, which fails the build with
    // `cancelledText`.
    std::atomic<std::int64_t>* listedFolders = nullptr;
    const std::atomic<bool>* cancel = nullptr;
};

inline constexpr char cancelledText[] = "cancelled";

// The entries read so far while a build runs, with the folders and names they refer to, in
// storage of their own: nothing a reader of it holds is written by the scan again.
struct Partial {
    FileIndex index;
    SharedNameTable names;
};

// Partial indexes handed out while the scan runs, for a window that answers before the scan
// ends. `publish` is called on a worker thread, one call at a time, only when more was read
// since the last call; that worker lists nothing meanwhile. The first call comes `interval`
// after the start, each later one four times the wait before it after the last, up to `longest`
// (and ten times as long as the last copy took): each call costs a copy of what was read.
// An interval of zero calls after every folder that added entries.
struct Publication {
    std::chrono::milliseconds interval{500};
    std::chrono::milliseconds longest{2000};
    std::function<void(Partial)> publish;
};

// `excludedFolders` is the user's list; the fixed and per-root exclusions are added.
// Unreadable folders are counted in `deniedDirectories` and never stop the build. What
// does stop it: a folder count past `limits.maxDirectories`, a name-table shard with no
// room left (NameTableFull) or a failed allocation. The first worker to meet one records
// it and empties the work stack; the others finish the folder in hand and exit, nothing
// is merged, and the Result carries `error` with an empty index. The name table keeps the
// names interned before the stop and should be discarded with the index. Nothing else may
// read `names` during the build: storage the table outgrows is freed as the build goes.
Result build(const std::vector<std::string>& roots, int workers, SharedNameTable names,
             const std::vector<std::string>& excludedFolders = {});
Result build(const std::vector<std::string>& roots, int workers, SharedNameTable names,
             const std::vector<std::string>& excludedFolders, const Limits& limits,
             const Publication* publication = nullptr);

} // namespace vesko::IndexBuilder
