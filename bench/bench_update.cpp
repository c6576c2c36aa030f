// SPDX-License-Identifier: GPL-3.0-or-later
// bench_update ROOT [--repeat K]: the live-update path over a built tree. (1) applying a batch
// of 1,000 touched files in 100 folders; (2) the delay from creating a file to the moment
// its batch has been applied, through a real watcher at its default 0.5 s coalescing;
// (3) the watcher's start-up (one watch per folder) and the kernel memory those watches pin.
#include "BenchSupport.h"
#include "index/IndexNavigator.h"
#include "scan/FileSystemWatcher.h"
#include "scan/IndexBuilder.h"
#include "scan/IndexUpdater.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vesko;
using namespace vesko::bench;
using Batch = FileSystemWatcher::Batch;

constexpr int changedFolders = 100;
constexpr int filesPerFolder = 10;
constexpr char watchesFile[] = "/proc/sys/fs/inotify/max_user_watches";

struct Tree {
    FileIndex index;
    SharedNameTable names;
    SharedIndexNavigator navigator = std::make_shared<IndexNavigator>();
};

// filesPerFolder plain files (not folders, not links) from each of changedFolders folders that
// hold that many, spread over the directory table by stepping through it.
std::vector<std::string> pickChangedFiles(const Tree& tree) {
    std::vector<std::string> files;
    const std::size_t wanted = changedFolders * filesPerFolder;
    const std::uint32_t folders = tree.index.directoryCount();
    const std::uint32_t step = std::max<std::uint32_t>(1, folders / changedFolders);
    for (std::uint32_t offset = 0; offset < step && files.size() < wanted; ++offset) {
        for (std::uint32_t d = offset; d < folders && files.size() < wanted; d += step) {
            std::vector<std::string> here;
            for (std::uint32_t e : tree.navigator->entries(d)) {
                if (!tree.index.flags(e).isEmpty()) continue;
                here.push_back(tree.index.path(e, *tree.names));
                if (here.size() == filesPerFolder) break;
            }
            if (here.size() == filesPerFolder) files.insert(files.end(), here.begin(), here.end());
        }
    }
    return files;
}

// Sets the modification time to now, without following links.
void touch(const std::vector<std::string>& paths) {
    const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    for (const auto& path : paths)
        ::utimensat(AT_FDCWD, path.c_str(), now, AT_SYMLINK_NOFOLLOW);
}

// The store's way: a fresh updater over a copy of the index, which is taken back afterwards.
IndexUpdater::Report applyAsStore(Tree& tree, const Batch& batch) {
    IndexUpdater updater(tree.index, tree.names, tree.navigator);
    const auto report = updater.apply(batch);
    tree.index = updater.takeIndex();
    return report;
}

void benchBatch(Tree& tree, int repeat) {
    const auto files = pickChangedFiles(tree);
    // Each named folder is listed whole: its entry count, not the batch, sets the cost.
    std::set<std::string> folders;
    std::size_t listed = 0;
    for (const auto& path : files) {
        const std::string folder = path.substr(0, path.rfind('/'));
        if (!folders.insert(folder).second) continue;
        if (auto d = tree.navigator->directory(folder, tree.index, *tree.names))
            listed += tree.navigator->entries(*d).size();
    }
    std::printf("(1) batch of %zu changed files in %zu folders holding %zu entries\n", files.size(),
                folders.size(), listed);
    Timings ms;
    for (int run = 0; run < repeat; ++run) {
        touch(files);
        const auto start = Clock::now();
        const auto report = applyAsStore(tree, Batch{files, {}, 0});
        const double took = millisecondsSince(start);
        ms.add(took);
        std::printf("    apply %.2f ms  (added %lld removed %lld folders read %lld unresolved "
                    "%lld)\n",
                    took, static_cast<long long>(report.added),
                    static_cast<long long>(report.removed),
                    static_cast<long long>(report.directoriesScanned),
                    static_cast<long long>(report.unresolved));
    }
    std::printf("    %s (target under 50 ms)\n", ms.summary("ms", 2).c_str());
}

// Batches from the watcher's thread, waited for by path.
class Inbox {
public:
    FileSystemWatcher::Handler handler() {
        return [this](Batch batch) {
            std::lock_guard lock(mutex_);
            batches_.push_back(std::move(batch));
            arrived_.notify_all();
        };
    }
    // Every batch up to and including the first that names path, merged; empty on timeout.
    std::optional<Batch> waitFor(const std::string& path, std::chrono::seconds timeout) {
        std::unique_lock lock(mutex_);
        Batch merged;
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            while (!batches_.empty()) {
                Batch b = std::move(batches_.front());
                batches_.erase(batches_.begin());
                const bool found = std::find(b.paths.begin(), b.paths.end(), path) != b.paths.end();
                merged.paths.insert(merged.paths.end(), b.paths.begin(), b.paths.end());
                merged.mustScanSubtrees.insert(merged.mustScanSubtrees.end(),
                                               b.mustScanSubtrees.begin(),
                                               b.mustScanSubtrees.end());
                if (found) return merged;
            }
            if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout) return std::nullopt;
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Batch> batches_;
};

void benchLatency(Tree& tree, Inbox& inbox, const std::string& root, int repeat) {
    std::printf("(2) file creation to applied batch, watcher at 0.5 s coalescing\n");
    Timings ms;
    for (int run = 0; run < repeat; ++run) {
        // A quiet second first, so the creation is the first change after a quiet period.
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        const std::string path = root + "/vesko-latency-" + std::to_string(run);
        const auto start = Clock::now();
        std::ofstream(path) << run;
        const auto batch = inbox.waitFor(path, std::chrono::seconds(10));
        if (!batch) {
            std::printf("    run %d: no batch named the file within 10 s\n", run);
            continue;
        }
        const auto report = applyAsStore(tree, *batch);
        const double took = millisecondsSince(start);
        ms.add(took);
        std::printf("    %.1f ms (added %lld)\n", took, static_cast<long long>(report.added));
        ::unlink(path.c_str());
    }
    if (!ms.empty()) std::printf("    %s (target under 1000 ms)\n", ms.summary("ms", 1).c_str());
}

long long readWatchLimit() {
    std::ifstream in(watchesFile);
    long long value = -1;
    in >> value;
    return value;
}

// Raises the kernel's per-user watch limit when it is below what the tree needs, if allowed.
void checkWatchLimit(long long folders) {
    const long long limit = readWatchLimit();
    std::printf("    %s = %lld, folders = %lld\n", watchesFile, limit, folders);
    if (limit < 0 || limit >= folders + 1024) return;
    if (geteuid() != 0) {
        std::printf("    the limit is below the folder count and only root may raise it\n");
        return;
    }
    const long long wanted = folders + folders / 4 + 8192;
    std::ofstream(watchesFile) << wanted;
    std::printf("    raised %s to %lld (was %lld)\n", watchesFile, readWatchLimit(), limit);
}

} // namespace

int main(int argc, char** argv) {
    int repeat = 5;
    auto given =
        Options("bench_update ROOT [--repeat K]").count("--repeat", repeat).parse(argc, argv);
    if (!given) return 2;
    std::string root = *given;
    Tree tree;
    auto built =
        IndexBuilder::build({root}, IndexBuilder::defaultWorkers(), std::make_shared<NameTable>());
    if (built.error) {
        std::fprintf(stderr, "bench_update: the build stopped: %s\n", built.error->c_str());
        return 1;
    }
    root = built.index.rootPaths.begin()->second;
    tree.index = std::move(built.index);
    tree.names = built.names;
    const auto navStart = Clock::now();
    tree.navigator->build(tree.index);
    std::printf("index of %s: %lld entries, %u folders, built in %.2f s; navigator %.0f ms, "
                "%.1f MiB\n",
                root.c_str(), static_cast<long long>(tree.index.count()),
                tree.index.directoryCount(), built.report.duration, millisecondsSince(navStart),
                static_cast<double>(tree.navigator->bytes()) / (1 << 20));

    benchBatch(tree, repeat);

    std::printf("(3) watcher start-up\n");
    checkWatchLimit(tree.index.directoryCount());
    Inbox inbox;
    FileSystemWatcher watcher(inbox.handler());
    const auto start = Clock::now();
    watcher.start({root}, 0, IndexBuilder::excluded({root}));
    const double startMs = millisecondsSince(start);
    std::printf("    start %.3f s for about %u watches, about %.1f MiB of kernel memory at 1 KiB "
                "each%s (target under 1 s per 100,000 folders)\n",
                startMs / 1000, tree.index.directoryCount(), tree.index.directoryCount() / 1024.0,
                watcher.watchLimitReached() ? "; WATCH LIMIT REACHED" : "");

    benchLatency(tree, inbox, root, repeat);
    watcher.stop();
    return 0;
}
