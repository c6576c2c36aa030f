// SPDX-License-Identifier: GPL-3.0-or-later
// bare_walk ROOT [--threads N] [--uring]: the floor no scanner can beat. It makes exactly
// the scan's system calls (open, getdents64 into 256 KiB until 0, one statx per entry) and
// nothing else: no names interned, no columns, no merge. With --uring the statx calls of
// one getdents64 batch go through io_uring, to learn whether batching lowers the floor.
#include "BenchSupport.h"
#include "scan/DirectoryScanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef VESKO_HAVE_LIBURING
#include <liburing.h>
#endif

namespace {

constexpr std::size_t bufferBytes = 0x40000;
constexpr int statxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned statxMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;

struct Counts {
    std::int64_t entries = 0;
    std::int64_t folders = 0;
    std::int64_t denied = 0;
    std::int64_t getdents = 0;

    void add(const Counts& o) {
        entries += o.entries, folders += o.folders, denied += o.denied, getdents += o.getdents;
    }
};

using Fd = vesko::DirectoryScanner::Descriptor;

// Shared LIFO stack of folders still to list; the walk ends when it is empty and no worker
// is listing (a busy worker may still push).
class DirStack {
public:
    explicit DirStack(std::string root) { stack_.push_back(std::move(root)); }

    std::optional<std::string> take() {
        std::unique_lock lock(mutex_);
        while (stack_.empty()) {
            if (busy_ == 0) {
                condition_.notify_all();
                return std::nullopt;
            }
            condition_.wait(lock);
        }
        std::string path = std::move(stack_.back());
        stack_.pop_back();
        ++busy_;
        return path;
    }

    void finish(std::vector<std::string>& children) {
        std::lock_guard lock(mutex_);
        for (auto& child : children)
            stack_.push_back(std::move(child));
        --busy_;
        if (!children.empty() || busy_ == 0) condition_.notify_all();
        children.clear();
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<std::string> stack_;
    int busy_ = 0;
};

std::string childPath(const std::string& parent, const char* name) {
    std::string path = parent;
    if (path != "/") path += '/';
    return path += name;
}

// The names of one getdents64 batch, "." and ".." left out. Pointers into the buffer.
void namesOf(const char* buffer, long bytes, std::vector<const char*>& names) {
    names.clear();
    for (long offset = 0; offset < bytes;) {
        std::uint16_t length;
        std::memcpy(&length, buffer + offset + 16, sizeof length); // d_reclen
        const char* name = buffer + offset + 19;                   // d_name
        if (!(name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
            names.push_back(name);
        offset += length;
    }
}

void record(const struct statx& st, const std::string& path, const char* name, Counts& counts,
            std::vector<std::string>& children) {
    ++counts.entries;
    if (S_ISDIR(st.stx_mode)) {
        ++counts.folders;
        children.push_back(childPath(path, name));
    }
}

// A statx that fails (the entry vanished since the listing) skips the entry.
void statOne(int dirFd, const std::string& path, const char* name, Counts& counts,
             std::vector<std::string>& children) {
    struct statx st {};
    if (::statx(dirFd, name, statxFlags, statxMask, &st) == 0)
        record(st, path, name, counts, children);
}

#ifdef VESKO_HAVE_LIBURING
constexpr unsigned ringEntries = 256;

class Ring {
public:
    Ring() { ok_ = io_uring_queue_init(ringEntries, &ring_, 0) == 0; }
    ~Ring() { giveUp(); }
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;
    bool ok() const { return ok_; }
    io_uring* get() { return &ring_; }
    void giveUp() {
        if (ok_) io_uring_queue_exit(&ring_);
        ok_ = false;
    }

private:
    io_uring ring_{};
    bool ok_ = false;
};

// Stats up to ringEntries names with one submission. A ring that did not take them all is
// given up (what it still holds would point into a reused buffer); the names it did not
// complete are stat'ed one by one.
void statChunk(Ring& ring, int dirFd, const std::string& path, const char* const* names,
               std::size_t n, Counts& counts, std::vector<std::string>& children) {
    static thread_local std::vector<struct statx> results(ringEntries);
    static thread_local std::vector<char> completed(ringEntries);
    for (std::size_t i = 0; i < n; ++i) {
        io_uring_sqe* sqe = io_uring_get_sqe(ring.get());
        io_uring_prep_statx(sqe, dirFd, names[i], statxFlags, statxMask, &results[i]);
        io_uring_sqe_set_data64(sqe, i);
        completed[i] = 0;
    }
    const int submitted = io_uring_submit_and_wait(ring.get(), static_cast<unsigned>(n));
    for (int done = 0; done < submitted; ++done) {
        io_uring_cqe* cqe = nullptr;
        if (io_uring_wait_cqe(ring.get(), &cqe) != 0) break;
        const auto i = static_cast<std::size_t>(io_uring_cqe_get_data64(cqe));
        completed[i] = 1;
        if (cqe->res == 0) record(results[i], path, names[i], counts, children);
        io_uring_cqe_seen(ring.get(), cqe);
    }
    if (submitted != static_cast<int>(n)) ring.giveUp();
    for (std::size_t i = 0; i < n; ++i)
        if (!completed[i]) statOne(dirFd, path, names[i], counts, children);
}
#else
struct Ring {
    bool ok() const { return false; }
};
#endif

void listFolder(const std::string& path, char* buffer, Ring* ring, Counts& counts,
                std::vector<std::string>& children) {
    const Fd dir(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        ++counts.denied;
        return;
    }
    std::vector<const char*> names;
    for (;;) {
        const long bytes = ::syscall(SYS_getdents64, dir.get(), buffer, bufferBytes);
        ++counts.getdents;
        if (bytes == 0) return;
        if (bytes < 0) {
            if (errno == EINTR) continue;
            ++counts.denied;
            return;
        }
        namesOf(buffer, bytes, names);
        for (std::size_t first = 0; first < names.size();) {
#ifdef VESKO_HAVE_LIBURING
            if (ring && ring->ok()) {
                const std::size_t n = std::min<std::size_t>(ringEntries, names.size() - first);
                statChunk(*ring, dir.get(), path, names.data() + first, n, counts, children);
                first += n;
                continue;
            }
#endif
            (void)ring;
            statOne(dir.get(), path, names[first++], counts, children);
        }
    }
}

struct Options {
    std::string root;
    int threads = 2;
    bool uring = false;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    auto root = vesko::bench::Options("bare_walk ROOT [--threads N] [--uring]")
                    .count("--threads", options.threads)
                    .flag("--uring", options.uring)
                    .parse(argc, argv);
    if (!root) return std::nullopt;
    options.root = std::move(*root);
    while (options.root.size() > 1 && options.root.back() == '/')
        options.root.pop_back();
    return options;
}

// Returns whether this worker really used io_uring.
bool work(DirStack& stack, bool uring, Counts& total, std::mutex& totalLock) {
    std::vector<std::uint64_t> storage(bufferBytes / sizeof(std::uint64_t)); // 8-byte aligned
    char* buffer = reinterpret_cast<char*>(storage.data());
    std::optional<Ring> ring;
    if (uring) ring.emplace();
    Counts counts;
    std::vector<std::string> children;
    while (std::optional<std::string> path = stack.take()) {
        listFolder(*path, buffer, ring ? &*ring : nullptr, counts, children);
        stack.finish(children);
    }
    std::lock_guard lock(totalLock);
    total.add(counts);
    return ring && ring->ok();
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) return 2;
#ifndef VESKO_HAVE_LIBURING
    if (options->uring) std::fprintf(stderr, "bare_walk: built without liburing; plain statx\n");
#endif
    const auto start = vesko::bench::Clock::now();
    DirStack stack(options->root);
    Counts total;
    std::mutex totalLock;
    std::atomic<int> uringWorkers = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < options->threads; ++i)
        threads.emplace_back(
            [&] { uringWorkers += work(stack, options->uring, total, totalLock); });
    for (auto& thread : threads)
        thread.join();
    const double seconds = vesko::bench::secondsSince(start);
    if (options->uring && uringWorkers == 0)
        std::fprintf(stderr, "bare_walk: io_uring unavailable here; plain statx was used\n");
    std::printf(
        "entries %lld folders %lld denied %lld getdents %lld threads %d statx %s seconds %.3f\n",
        static_cast<long long>(total.entries), static_cast<long long>(total.folders),
        static_cast<long long>(total.denied), static_cast<long long>(total.getdents),
        options->threads, uringWorkers > 0 ? "io_uring" : "plain", seconds);
    return 0;
}
