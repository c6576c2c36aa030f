// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/IndexBuilder.h"

#include "scan/DirectoryScanner.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace vesko::IndexBuilder {
namespace {

// Folders a worker lists between two releases of the name table's outgrown buffers.
constexpr int foldersPerRelease = 1024;

// A listed folder's descriptor, kept while its sub-folders wait in the stack: each is then
// opened by its name alone, which spares the kernel a lookup of every component of its path.
class HeldFolder {
public:
    HeldFolder(DirectoryScanner::Descriptor fd, std::atomic<int>& count)
        : fd_(std::move(fd)), count_(count) {}
    ~HeldFolder() { count_.fetch_sub(1, std::memory_order_relaxed); }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    int get() const { return fd_.get(); }

private:
    DirectoryScanner::Descriptor fd_;
    std::atomic<int>& count_;
};

// Without a held parent the folder is opened by its whole path.
struct Directory {
    std::string path;
    std::uint32_t id = 0;
    std::shared_ptr<const HeldFolder> parent;
    std::size_t nameStart = 0; // where the folder's own name begins in `path`
    bool isRoot = false;
};

struct Child {
    std::string path;
    std::uint32_t parent = 0;
    std::uint32_t name = 0;
    std::shared_ptr<const HeldFolder> held;
    std::size_t nameStart = 0;
};

// The folders still to be listed, LIFO so that each worker stays near the part of the
// tree it just listed, and the directory table that numbers them. `busy` counts folders
// taken and not finished: the scan is over when the stack is empty and nobody is busy,
// because only a busy worker can push more. A stop empties the stack and ends every
// `take`, so workers drain without waiting for one another.
class WorkStack {
public:
    // Descriptors are held for at most `heldLimit` folders at once: the process may open
    // only so many files, and a depth-first walk rarely needs more.
    WorkStack(std::uint64_t directoryLimit, int heldLimit)
        : limit_(directoryLimit), heldLimit_(heldLimit) {}

    // Before the workers start: the root gets the next id and is its own parent.
    void addRoot(std::string path, std::uint32_t nameId) {
        const auto id = static_cast<std::uint32_t>(dirParent_.size());
        dirParent_.push_back(id);
        dirName_.push_back(nameId);
        stack_.push_back({std::move(path), id, nullptr, 0, true});
    }

    std::optional<Directory> take() {
        std::unique_lock lock(mutex_);
        return takeLocked(lock);
    }

    // Ends the folder in hand: numbers and pushes its children (their paths are moved out),
    // then takes the next folder, all under one lock. The worker usually goes on with a
    // child of its own, and nobody is woken unless work is left for them.
    std::optional<Directory> next(std::vector<Child>& children) {
        std::unique_lock lock(mutex_);
        --busy_;
        if (!error_ && dirParent_.size() + children.size() > limit_) {
            stopLocked("more than " + std::to_string(limit_) + " folders below the roots; " +
                       "the index cannot number them. Exclude large folders and scan again.");
        } else if (!error_) {
            for (Child& child : children) {
                const auto id = static_cast<std::uint32_t>(dirParent_.size());
                dirParent_.push_back(child.parent);
                dirName_.push_back(child.name);
                stack_.push_back(
                    {std::move(child.path), id, std::move(child.held), child.nameStart});
            }
        }
        return takeLocked(lock);
    }

    void stop(const std::string& reason) {
        std::lock_guard lock(mutex_);
        stopLocked(reason);
    }

    std::optional<std::string> error() {
        std::lock_guard lock(mutex_);
        return error_;
    }

    // An open descriptor for `fd`'s sub-folders to be opened through, or null once
    // the limit of held descriptors is reached.
    std::shared_ptr<const HeldFolder> hold(DirectoryScanner::Descriptor& fd) {
        if (held_.fetch_add(1, std::memory_order_relaxed) >= heldLimit_) {
            held_.fetch_sub(1, std::memory_order_relaxed);
            return nullptr;
        }
        return std::make_shared<const HeldFolder>(std::move(fd), held_);
    }

    // A copy of the directory table as it stands, for a snapshot while the scan goes on.
    std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>> directories() {
        std::lock_guard lock(mutex_);
        return {dirParent_, dirName_};
    }

    // After the workers have returned.
    std::vector<std::uint32_t>& dirParent() { return dirParent_; }
    std::vector<std::uint32_t>& dirName() { return dirName_; }

private:
    // Waiters are woken outside the lock, so that they do not wake only to wait for it.
    std::optional<Directory> takeLocked(std::unique_lock<std::mutex>& lock) {
        for (;;) {
            if (error_) return std::nullopt;
            if (!stack_.empty()) {
                Directory top = std::move(stack_.back());
                stack_.pop_back();
                ++busy_;
                const bool more = !stack_.empty();
                lock.unlock();
                if (more) condition_.notify_one();
                return top;
            }
            if (busy_ == 0) {
                lock.unlock();
                condition_.notify_all();
                return std::nullopt;
            }
            condition_.wait(lock);
        }
    }

    void stopLocked(const std::string& reason) {
        if (!error_) error_ = reason;
        stack_.clear();
        condition_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<Directory> stack_;
    std::int64_t busy_ = 0;
    std::vector<std::uint32_t> dirParent_;
    std::vector<std::uint32_t> dirName_;
    std::uint64_t limit_;
    std::optional<std::string> error_;
    const int heldLimit_;
    std::atomic<int> held_{0};
};

// A run of one worker's entries in its own anonymous mapping, handed back to the kernel
// as soon as the merge has copied it: the build never holds the entries twice over, as
// heap blocks freed in the middle of an arena would. Entries below the published count are
// written once and never again, so another thread may copy them while the worker goes on.
class EntryBlock {
public:
    static constexpr std::size_t capacity = std::size_t{1} << 16;

    struct Columns {
        std::uint32_t name[capacity], dir[capacity], size[capacity], modified[capacity],
            created[capacity], accessed[capacity];
        std::uint8_t flags[capacity];
    };

    EntryBlock() {
        void* at = ::mmap(nullptr, sizeof(Columns), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED) throw std::bad_alloc();
        columns_ = static_cast<Columns*>(at);
    }
    ~EntryBlock() { ::munmap(columns_, sizeof(Columns)); }
    EntryBlock(const EntryBlock&) = delete;
    EntryBlock& operator=(const EntryBlock&) = delete;

    // The writing worker's view.
    bool isFull() const { return count_.load(std::memory_order_relaxed) == capacity; }
    // Any thread's: entries below it are complete.
    std::size_t published() const { return count_.load(std::memory_order_acquire); }

    void add(std::uint32_t name, std::uint32_t dir, EntryFlags flags, std::uint64_t size,
             std::uint32_t modified, std::uint32_t created, std::uint32_t accessed) {
        Columns& c = *columns_;
        const std::size_t i = count_.load(std::memory_order_relaxed);
        c.name[i] = name;
        c.dir[i] = dir;
        c.flags[i] = flags.rawValue;
        c.size[i] = PackedSize::pack(size);
        c.modified[i] = modified;
        c.created[i] = created;
        c.accessed[i] = accessed;
        count_.store(i + 1, std::memory_order_release);
    }

    // The first n entries; n at most `published()`.
    void appendTo(FileIndex& index, std::size_t n) const {
        const Columns& c = *columns_;
        index.entryName.append(c.name, n);
        index.entryDir.append(c.dir, n);
        index.entryFlags.append(c.flags, n);
        index.entrySize.append(c.size, n);
        index.entryModified.append(c.modified, n);
        index.entryCreated.append(c.created, n);
        index.entryAccessed.append(c.accessed, n);
    }

private:
    Columns* columns_ = nullptr;
    std::atomic<std::size_t> count_{0};
};

using EntryBlocks = std::vector<std::unique_ptr<EntryBlock>>;

// Every worker's entry blocks, in the order they were begun, and the workers' counts. The
// lock is taken once per block begun, once per snapshot and once per worker at its end.
struct Accumulator {
    std::mutex lock;
    EntryBlocks blocks;
    Report report;

    EntryBlock* begin() {
        auto block = std::make_unique<EntryBlock>();
        std::lock_guard guard(lock);
        blocks.push_back(std::move(block));
        return blocks.back().get();
    }

    // Each block with its entries published now.
    std::vector<std::pair<const EntryBlock*, std::size_t>> publishedBlocks() {
        std::lock_guard guard(lock);
        std::vector<std::pair<const EntryBlock*, std::size_t>> list;
        list.reserve(blocks.size());
        for (const auto& block : blocks)
            list.emplace_back(block.get(), block->published());
        return list;
    }

    void merge(std::int64_t denied, std::int64_t syscalls, std::vector<UnreadableRoot>&& roots) {
        std::lock_guard guard(lock);
        report.deniedDirectories += denied;
        report.syscalls += syscalls;
        std::move(roots.begin(), roots.end(), std::back_inserter(report.unreadableRoots));
    }
};

// Copies what has been read so far and hands it out, at most once per interval. Workers
// ask between folders; the first to find it due does it while the others go on listing.
class Publisher {
public:
    Publisher(const Publication& publication, Accumulator& accumulator, WorkStack& stack,
              NameTable& names, const std::vector<std::string>& roots)
        : publication_(publication), accumulator_(accumulator), stack_(stack), names_(names),
          roots_(roots), due_(ticks(Clock::now() + publication.interval)),
          wait_(publication.interval) {}

    void publishIfDue() {
        if (ticks(Clock::now()) < due_.load(std::memory_order_relaxed)) return;
        std::unique_lock busy(mutex_, std::try_to_lock);
        if (!busy || ticks(Clock::now()) < due_.load(std::memory_order_relaxed)) return;
        const auto start = Clock::now();
        auto blocks = accumulator_.publishedBlocks();
        std::size_t entries = 0;
        for (const auto& [block, n] : blocks)
            entries += n;
        Clock::duration cost{};
        if (entries != published_) {
            published_ = entries;
            Partial partial = snapshot(blocks, entries);
            cost = Clock::now() - start;
            publication_.publish(std::move(partial));
        }
        // Copying, and searching each copy, grows with the tree and takes a core from the
        // scan: the waits grow fourfold, so that a scan of a million entries makes one copy
        // (it cost the whole scan a tenth with three), a long one a copy every `longest`, and
        // each wait is long beside the copy it follows.
        // An interval of zero asks for a copy after every folder that added entries, however
        // long the copies take.
        if (publication_.interval == Clock::duration::zero()) {
            due_.store(ticks(Clock::now()), std::memory_order_relaxed);
            return;
        }
        wait_ = std::min<Clock::duration>(
            4 * wait_, std::max<Clock::duration>(publication_.longest, publication_.interval));
        due_.store(ticks(Clock::now() + std::max<Clock::duration>(wait_, 10 * cost)),
                   std::memory_order_relaxed);
    }

private:
    using Clock = std::chrono::steady_clock;
    static std::int64_t ticks(Clock::time_point t) { return t.time_since_epoch().count(); }

    // Entries first, then the folders, then the names: each is read after what refers to it
    // was written, so every id in the copy resolves within it.
    Partial snapshot(const std::vector<std::pair<const EntryBlock*, std::size_t>>& blocks,
                     std::size_t entries) {
        Partial partial;
        partial.index.reserveEntries(entries);
        for (const auto& [block, n] : blocks)
            block->appendTo(partial.index, n);
        auto [parents, names] = stack_.directories();
        partial.index.dirParent = Column<std::uint32_t>(parents);
        partial.index.dirName = Column<std::uint32_t>(names);
        for (std::size_t i = 0; i < roots_.size(); ++i)
            partial.index.rootPaths[static_cast<std::uint32_t>(i)] = roots_[i];
        partial.names = names_.snapshot();
        return partial;
    }

    const Publication& publication_;
    Accumulator& accumulator_;
    WorkStack& stack_;
    NameTable& names_;
    const std::vector<std::string>& roots_;
    std::mutex mutex_;
    std::atomic<std::int64_t> due_;
    Clock::duration wait_;      // before the next copy, under mutex_
    std::size_t published_ = 0; // entries in the last copy handed out, under mutex_
};

class Worker {
public:
    Worker(WorkStack& stack, Accumulator& accumulator, NameTable& names,
           const ExcludedSet& excluded, const Limits& limits, Publisher* publisher)
        : stack_(stack), accumulator_(accumulator), names_(names), excluded_(excluded),
          limits_(limits), publisher_(publisher) {}

    // Never throws: a failure stops the whole build through the stack.
    void run() noexcept {
        try {
            loop();
        } catch (const NameTableFull& e) {
            stack_.stop(e.what());
        } catch (const std::bad_alloc&) {
            stack_.stop("out of memory while scanning; exclude large folders and scan again.");
        } catch (const std::exception& e) {
            stack_.stop(e.what());
        }
    }

private:
    void loop() {
        auto buffer = std::make_unique_for_overwrite<std::byte[]>(DirectoryScanner::bufferSize);
        buffer_ = {buffer.get(), DirectoryScanner::bufferSize};
        auto directory = stack_.take();
        for (int listed = 1; directory; ++listed) {
            list(*directory);
            if (publisher_) publisher_->publishIfDue();
            // Buffers the table outgrew stay for lock-free readers, and a table being
            // built has none; left alone they would double its footprint.
            if (listed % foldersPerRelease == 0) names_.releaseRetired();
            if (limits_.listedFolders)
                limits_.listedFolders->fetch_add(1, std::memory_order_relaxed);
            if (limits_.cancel && limits_.cancel->load(std::memory_order_relaxed))
                stack_.stop(cancelledText);
            directory = stack_.next(children_);
        }
        accumulator_.merge(denied_, syscalls_, std::move(unreadableRoots_));
    }

    void list(Directory& directory) {
        children_.clear();
        DirectoryScanner::Descriptor fd =
            directory.parent
                ? DirectoryScanner::openDirectoryAt(directory.parent->get(),
                                                    directory.path.c_str() + directory.nameStart)
            : directory.isRoot ? DirectoryScanner::openRoot(directory.path.c_str())
                               : DirectoryScanner::openDirectory(directory.path.c_str());
        directory.parent.reset();
        if (!fd) {
            if (directory.isRoot) unreadableRoots_.push_back({directory.path, errno});
            ++denied_;
            return;
        }
        const std::shared_ptr<const HeldFolder> held = stack_.hold(fd);
        const int dirFd = held ? held->get() : fd.get();
        const auto onEntry = [&](const char* name, std::size_t length, EntryFlags flags,
                                 std::uint64_t size, std::uint32_t modified, std::uint32_t created,
                                 std::uint32_t accessed) {
            const std::uint32_t nameId = names_.intern(name, length);
            if (!block_ || block_->isFull()) block_ = accumulator_.begin();
            block_->add(nameId, directory.id, flags, size, modified, created, accessed);
            if (flags.contains(EntryFlags::directory()))
                addChild(directory, name, length, nameId, held);
        };
        const auto prefetch = [this](const char* name, std::size_t length) {
            names_.prefetch(name, length);
        };
        if (DirectoryScanner::scan(dirFd, buffer_, syscalls_, onEntry, prefetch) ==
            DirectoryScanner::Outcome::failed) {
            if (directory.isRoot) unreadableRoots_.push_back({directory.path, errno});
            ++denied_;
        }
    }

    // The child's path keeps the name's raw bytes: on Linux a name need not be UTF-8, and
    // only the exact bytes open the folder. Exclusions are compared with the same bytes.
    void addChild(const Directory& parent, const char* name, std::size_t length,
                  std::uint32_t nameId, const std::shared_ptr<const HeldFolder>& held) {
        std::string path;
        const bool underSlash = parent.path == "/";
        path.reserve(parent.path.size() + 1 + length);
        if (!underSlash) path = parent.path;
        path += '/';
        path.append(name, length);
        if (excluded_.contains(path)) return;
        const std::size_t nameStart = path.size() - length;
        children_.push_back({std::move(path), parent.id, nameId, held, nameStart});
    }

    WorkStack& stack_;
    Accumulator& accumulator_;
    NameTable& names_;
    const ExcludedSet& excluded_;
    const Limits& limits_;
    Publisher* publisher_;
    std::span<std::byte> buffer_;
    EntryBlock* block_ = nullptr;
    std::vector<Child> children_;
    std::int64_t denied_ = 0;
    std::int64_t syscalls_ = 0;
    std::vector<UnreadableRoot> unreadableRoots_;
};

// Runs `workers` copies of the worker loop, one on the calling thread, and waits for all.
void runWorkers(int workers, WorkStack& stack, Accumulator& accumulator, NameTable& names,
                const ExcludedSet& excluded, const Limits& limits, Publisher* publisher) {
    std::vector<std::jthread> threads;
    try {
        threads.reserve(static_cast<std::size_t>(workers - 1));
        for (int i = 1; i < workers; ++i)
            threads.emplace_back(
                [&] { Worker(stack, accumulator, names, excluded, limits, publisher).run(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked: the ones started, and this one, still finish the scan.
    }
    Worker(stack, accumulator, names, excluded, limits, publisher).run();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Result failed(Result result, std::string reason, std::chrono::steady_clock::time_point start) {
    result.index = FileIndex();
    result.report.entries = 0;
    result.report.directories = 0;
    result.report.payloadBytes = 0;
    result.report.duration = secondsSince(start);
    result.error = std::move(reason);
    return result;
}

// The columns sized once for the entries, then filled block by block, each block given
// back as soon as it is copied.
FileIndex mergeBlocks(EntryBlocks& blocks) {
    std::size_t n = 0;
    for (const auto& block : blocks)
        n += block->published();
    FileIndex index;
    index.reserveEntries(n);
    for (auto& block : blocks) {
        block->appendTo(index, block->published());
        block.reset();
    }
    blocks.clear();
    return index;
}

} // namespace

std::vector<std::string> defaultRoots() {
    return {homeFolder()};
}

int defaultWorkers() {
    const unsigned processors = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(processors, 2u, 8u));
}

std::int64_t expectedEntries(const std::vector<std::string>& roots, std::int64_t cap) {
    std::vector<dev_t> counted;
    std::int64_t total = 0;
    for (const std::string& root : normalize(roots)) {
        struct stat info {};
        struct statvfs fs {};
        if (::stat(root.c_str(), &info) != 0 || ::statvfs(root.c_str(), &fs) != 0) continue;
        if (std::find(counted.begin(), counted.end(), info.st_dev) != counted.end()) continue;
        counted.push_back(info.st_dev);
        if (fs.f_files > fs.f_ffree) total += static_cast<std::int64_t>(fs.f_files - fs.f_ffree);
    }
    return std::min(total, cap);
}

Result build(const std::vector<std::string>& roots, int workers, SharedNameTable names,
             const std::vector<std::string>& excludedFolders) {
    return build(roots, workers, std::move(names), excludedFolders, Limits{});
}

Result build(const std::vector<std::string>& roots, int workers, SharedNameTable names,
             const std::vector<std::string>& excludedFolders, const Limits& limits,
             const Publication* publication) {
    const auto start = std::chrono::steady_clock::now();
    Result result;
    result.names = names ? std::move(names) : std::make_shared<NameTable>();
    NameTable& table = *result.names;
    const std::vector<std::string> normalized = normalize(roots);
    const ExcludedSet excludedSet = excluded(normalized, excludedFolders);
    if (normalized.size() > limits.maxDirectories)
        return failed(std::move(result), "more roots than the index can number", start);

    WorkStack stack(limits.maxDirectories, limits.heldFolders);
    Accumulator accumulator;
    try {
        for (const std::string& root : normalized)
            stack.addRoot(root, table.intern(root));
    } catch (const NameTableFull& e) {
        return failed(std::move(result), e.what(), start);
    } catch (const std::bad_alloc&) {
        return failed(std::move(result), "out of memory before scanning", start);
    }
    std::optional<Publisher> publisher;
    if (publication && publication->publish)
        publisher.emplace(*publication, accumulator, stack, table, normalized);
    runWorkers(std::max(workers, 1), stack, accumulator, table, excludedSet, limits,
               publisher ? &*publisher : nullptr);
    result.report = accumulator.report;
    auto& unreadable = result.report.unreadableRoots;
    std::sort(unreadable.begin(), unreadable.end(), [&](const auto& a, const auto& b) {
        return std::find(normalized.begin(), normalized.end(), a.path) <
               std::find(normalized.begin(), normalized.end(), b.path);
    });
    if (auto error = stack.error()) return failed(std::move(result), std::move(*error), start);

    FileIndex index;
    try {
        index = mergeBlocks(accumulator.blocks);
    } catch (const std::bad_alloc&) {
        return failed(std::move(result), "out of memory while merging the scan", start);
    }
    index.dirParent = Column<std::uint32_t>(stack.dirParent());
    index.dirName = Column<std::uint32_t>(stack.dirName());
    for (std::size_t i = 0; i < normalized.size(); ++i)
        index.rootPaths[static_cast<std::uint32_t>(i)] = normalized[i];
    // No reader can hold the table during a build, so storage left by its growth can go.
    table.releaseRetired();

    Report& report = result.report;
    report.entries = index.count();
    report.directories = index.directoryCount();
    report.uniqueNames = table.uniqueCount();
    report.payloadBytes = index.payloadBytes() + table.nameBytes() + table.displayBytes();
    result.index = std::move(index);
    report.duration = secondsSince(start);
    return result;
}

} // namespace vesko::IndexBuilder
