// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeWriter.h"

#include "scan/DirectoryScanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace vesko::treegen {
namespace {

class GenerationError : public std::runtime_error {
public:
    GenerationError(const std::string& what, const std::string& path, int error)
        : std::runtime_error(what + " " + path + ": " + std::strerror(error)) {}
};

using Fd = vesko::DirectoryScanner::Descriptor;

struct DateRange {
    static constexpr std::int64_t first = 1420070400; // 2015-01-01
    static constexpr std::int64_t last = 1748736000;  // 2025-06-01
};

void setTimes(int fd, Rng& rng, const std::string& path) {
    const std::int64_t modified = rng.between(DateRange::first, DateRange::last);
    const std::int64_t accessed =
        std::min<std::int64_t>(modified + rng.below(400 * 86400), DateRange::last);
    const timespec times[2] = {{static_cast<time_t>(accessed), 0},
                               {static_cast<time_t>(modified), 0}};
    if (::futimens(fd, times) != 0) throw GenerationError("futimens", path, errno);
}

// Folders still to fill, each already created by its parent's task. Tasks are
// independent (every folder draws from its own seeded stream), so any number of threads
// gives the same tree.
class FolderQueue {
public:
    struct Task {
        std::uint32_t id;
        std::string path;
    };

    explicit FolderQueue(std::string root) { stack_.push_back({0, std::move(root)}); }

    std::optional<Task> take() {
        std::unique_lock lock(mutex_);
        while (stack_.empty() || stopped_) {
            if (busy_ == 0 || stopped_) {
                condition_.notify_all();
                return std::nullopt;
            }
            condition_.wait(lock);
        }
        Task task = std::move(stack_.back());
        stack_.pop_back();
        ++busy_;
        return task;
    }

    void finish(std::vector<Task>& children) {
        std::lock_guard lock(mutex_);
        for (Task& child : children)
            stack_.push_back(std::move(child));
        --busy_;
        if (!children.empty() || busy_ == 0) condition_.notify_all();
        children.clear();
    }

    void stop(const std::string& error) {
        std::lock_guard lock(mutex_);
        if (!stopped_) error_ = error;
        stopped_ = true;
        --busy_;
        condition_.notify_all();
    }

    std::string error() {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<Task> stack_;
    int busy_ = 0;
    bool stopped_ = false;
    std::string error_;
};

// One per thread, with its own counts.
class Writer {
public:
    Writer(const TreeShape& shape, const Plan& plan)
        : spec_(shape), plan_(plan), bogoseoNfd_(nfd("보고서")), resumeNfd_(nfd("résumé")) {}

    // Creates the folder's sub-folders and files; the sub-folders are returned as tasks.
    void fill(const FolderQueue::Task& task, std::vector<FolderQueue::Task>& children);
    const TreeStats& stats() const { return stats_; }

private:
    void count(const std::string& name, int depth);
    void createFile(int dirFd, const std::string& name, Rng& rng, const std::string& path);

    const TreeShape& spec_;
    const Plan& plan_;
    TreeStats stats_;
    const std::string bogoseoNfd_;
    const std::string resumeNfd_;
};

void Writer::count(const std::string& name, int depth) {
    ++stats_.entries;
    stats_.maxDepth = std::max(stats_.maxDepth, depth);
    if (stats_.depthCounts.size() <= static_cast<std::size_t>(depth))
        stats_.depthCounts.resize(depth + 1);
    ++stats_.depthCounts[depth];
    if (name[0] == '.') ++stats_.hidden;
    if (name.find("보고서") != std::string::npos) ++stats_.bogoseoNfc;
    if (name.find(bogoseoNfd_) != std::string::npos) ++stats_.bogoseoNfd;
    if (name.find("résumé") != std::string::npos) ++stats_.resumeNfc;
    if (name.find(resumeNfd_) != std::string::npos) ++stats_.resumeNfd;
}

void Writer::createFile(int dirFd, const std::string& name, Rng& rng, const std::string& path) {
    const int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw GenerationError("create", path + "/" + name, errno);
    Fd file(fd);
    const std::uint32_t kind = rng.below(1000);
    const auto contentLimit = static_cast<std::uint32_t>(spec_.contentShare * 1000);
    const auto emptyLimit = contentLimit + static_cast<std::uint32_t>(spec_.emptyShare * 1000);
    if (kind < contentLimit) {
        const std::string text = textContent(rng);
        if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw GenerationError("write", path + "/" + name, errno);
        ++stats_.filesWithContent;
        stats_.logicalBytes += static_cast<std::int64_t>(text.size());
    } else if (kind < emptyLimit || !spec_.realisticSizes) {
        ++stats_.emptyFiles;
    } else {
        const std::uint64_t length = fileLength(name, rng);
        if (::ftruncate(fd, static_cast<off_t>(length)) != 0)
            throw GenerationError("ftruncate", path + "/" + name, errno);
        stats_.logicalBytes += static_cast<std::int64_t>(length);
    }
    if (spec_.setTimes) setTimes(fd, rng, path + "/" + name);
}

void Writer::fill(const FolderQueue::Task& task, std::vector<FolderQueue::Task>& children) {
    const PlannedFolder& folder = plan_.folders[task.id];
    const Fd dir(::open(task.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) throw GenerationError("open", task.path, errno);
    Rng rng(mix(spec_.seed, task.id + 1));
    std::unordered_set<std::string> taken;
    for (std::uint32_t child : folder.children) {
        const std::string& name = plan_.folders[child].name;
        taken.insert(name);
        if (::mkdirat(dir.get(), name.c_str(), 0755) != 0)
            throw GenerationError("mkdir", task.path + "/" + name, errno);
        ++stats_.folders;
        count(name, folder.depth + 1);
        children.push_back({child, task.path + "/" + name});
    }
    for (std::uint32_t i = 0; i < folder.files; ++i) {
        const std::string name = uniqueName(taken, fileName(folder.theme, rng));
        createFile(dir.get(), name, rng, task.path);
        ++stats_.files;
        count(name, folder.depth + 1);
    }
    if (spec_.setTimes) setTimes(dir.get(), rng, task.path); // last: each new entry moves it
}

void writeAll(FolderQueue& queue, Writer& writer) {
    std::vector<FolderQueue::Task> children;
    while (std::optional<FolderQueue::Task> task = queue.take()) {
        try {
            writer.fill(*task, children);
        } catch (const std::exception& failure) {
            queue.stop(failure.what());
            return;
        }
        queue.finish(children);
    }
}

void merge(TreeStats& into, const TreeStats& from) {
    into.entries += from.entries, into.folders += from.folders, into.files += from.files;
    into.hidden += from.hidden, into.emptyFiles += from.emptyFiles;
    into.filesWithContent += from.filesWithContent, into.logicalBytes += from.logicalBytes;
    into.bogoseoNfc += from.bogoseoNfc, into.bogoseoNfd += from.bogoseoNfd;
    into.resumeNfc += from.resumeNfc, into.resumeNfd += from.resumeNfd;
    into.maxDepth = std::max(into.maxDepth, from.maxDepth);
    into.depthCounts.resize(std::max(into.depthCounts.size(), from.depthCounts.size()));
    for (std::size_t d = 0; d < from.depthCounts.size(); ++d)
        into.depthCounts[d] += from.depthCounts[d];
}

int threadCount(const TreeShape& shape) {
    if (shape.threads > 0) return shape.threads;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
}

} // namespace

TreeStats writeTree(const std::string& root, const TreeShape& shape, const Plan& plan) {
    FolderQueue queue(root);
    std::vector<Writer> writers(static_cast<std::size_t>(threadCount(shape)), Writer(shape, plan));
    std::vector<std::thread> threads;
    for (Writer& writer : writers)
        threads.emplace_back([&queue, &writer] { writeAll(queue, writer); });
    for (auto& thread : threads)
        thread.join();
    TreeStats stats;
    for (const Writer& writer : writers)
        merge(stats, writer.stats());
    stats.error = queue.error();
    return stats;
}

} // namespace vesko::treegen
