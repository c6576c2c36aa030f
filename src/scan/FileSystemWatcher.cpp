// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/FileSystemWatcher.h"

#include "scan/DirectoryScanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace vesko {
namespace {

constexpr std::uint32_t watchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                    IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

// The application's identifier; a longer label would be cut to the kernel's 15 bytes anyway.
constexpr char threadName[] = "app.vesko.Vesko";
static_assert(sizeof threadName <= 16, "pthread_setname_np takes 15 bytes and a zero");

// Reads one inotify buffer this many times at most before batches get a chance to go out,
// so that a tree that never stops changing still delivers.
constexpr int readsPerWakeUp = 16;

// How long, and how often, a new folder that could not be opened under its reported path is
// tried again under its parent's current path (see watchNewFolder).
constexpr std::chrono::milliseconds unopenedPatience{1000};
constexpr std::chrono::milliseconds unopenedRetry{20};

using FileDescriptor = DirectoryScanner::Descriptor;

std::uint64_t realtimeMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::string join(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (folder != "/") path += '/';
    path += name;
    return path;
}

bool isFolder(int dirfd, const dirent64& entry) {
    if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirfd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Calls onEntry(name, isFolder) for every entry of the open folder but "." and "..",
// without following links. A folder that cannot be read lists as far as it got.
template <class OnEntry> void listFolder(int dir, std::span<std::byte> buffer, OnEntry&& onEntry) {
    for (;;) {
        const ssize_t length = ::getdents64(dir, buffer.data(), buffer.size());
        if (length <= 0) return;
        for (ssize_t at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += entry->d_reclen;
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..") continue;
            onEntry(name, isFolder(dir, *entry));
        }
    }
}

// A folder still to be watched and listed during a walk, opened by name relative to its
// parent's descriptor, which stays open until its last child is. The top has no name and
// carries its own descriptor, opened by path, in `parent`.
struct PendingFolder {
    std::shared_ptr<FileDescriptor> parent;
    std::string name;
    std::string path;
};

// The folders of one walk still to be opened, shared by the walk's threads, LIFO so that
// few parent descriptors are open at once. The walk is over when the stack is empty and
// nobody is busy, because only a busy walker can push more.
class FolderQueue {
public:
    std::optional<PendingFolder> take() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!stack_.empty()) {
                PendingFolder top = std::move(stack_.back());
                stack_.pop_back();
                ++busy_;
                return top;
            }
            if (busy_ == 0) return std::nullopt;
            condition_.wait(lock);
        }
    }

    // Ends the walker's current folder and hands over the folders it found there.
    void finish(std::vector<PendingFolder>& children) {
        std::lock_guard lock(mutex_);
        for (auto& child : children)
            stack_.push_back(std::move(child));
        children.clear();
        --busy_;
        if (!stack_.empty() || busy_ == 0) condition_.notify_all();
    }

    void push(PendingFolder folder) {
        std::lock_guard lock(mutex_);
        stack_.push_back(std::move(folder));
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::vector<PendingFolder> stack_;
    int busy_ = 0;
};

// What one walker did, kept apart so that walkers share nothing but the queue; folded into
// the session's maps once the walk is over.
struct WalkFindings {
    std::vector<std::pair<int, std::string>> watched; // in the order the watches were added
    std::vector<std::string> refused;                 // past the watch limit
    std::vector<std::string> unwatchable;             // too long to watch without /proc
    std::vector<std::string> listed;                  // every entry, when contents are reported
};

// Threads for the start-up walk: inotify_add_watch and the listings run in parallel in
// the kernel, and more threads than cores only add contention on the inotify instance.
int walkThreads() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

} // namespace

// Everything one run of the watcher owns. The caller's thread builds it and walks the
// roots in `start`; from then on only the reader thread touches it, until `stop` joins.
class FileSystemWatcher::Session {
public:
    Session(const Handler& handler, const Options& options, std::atomic<bool>& limitReached,
            FileDescriptor inotify, FileDescriptor wake, std::vector<std::string> roots,
            ExcludedSet excluded, std::uint64_t floorID)
        : handler_(handler), options_(options), limitReached_(limitReached),
          inotify_(std::move(inotify)), wake_(std::move(wake)), roots_(std::move(roots)),
          excluded_(std::move(excluded)), lastEventID_(floorID) {}

    void watchRoots(bool replay) {
        for (const auto& root : roots_) {
            if (excluded_.contains(root)) continue;
            if (replay) batch_.mustScanSubtrees.push_back(root);
            watchTree(root, false, walkThreads());
        }
    }

    void run();
    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(wake_.get(), &one, sizeof one);
    }
    std::uint64_t lastEventID() const { return lastEventID_; }

private:
    // False when the top folder could not be opened at all.
    bool watchTree(const std::string& top, bool reportContents, int threads = 1);
    void walkFolders(FolderQueue& queue, WalkFindings& found, bool reportContents,
                     std::atomic<std::size_t>& watches) const;
    bool tryWatch(const std::string& path, int dir, WalkFindings& found,
                  std::atomic<std::size_t>& watches) const;
    void record(WalkFindings& found);
    void remember(int wd, std::string path);
    void limitReached(const std::string& path);
    void watchNewFolder(int parentWd, std::string_view name, const std::string& path);
    void retryUnopened();
    std::vector<std::pair<std::string, int>> takeSubtree(const std::string& top);
    void renameSubtree(const std::string& from, const std::string& to);
    void unwatchSubtree(const std::string& top);
    void forget(int wd);

    bool drain();
    void handle(const inotify_event& event);
    void handleSelf(const inotify_event& event, const std::string& folder);
    void handleFolder(const inotify_event& event, const std::string& path);
    void handleOverflow();
    void resolveUnmatchedMoves();

    bool isRoot(const std::string& path) const {
        return std::find(roots_.begin(), roots_.end(), path) != roots_.end();
    }
    int pollTimeout() const;
    int batchTimeout() const;
    void flush();

    const Handler& handler_;
    const Options& options_;
    std::atomic<bool>& limitReached_;
    const FileDescriptor inotify_;
    const FileDescriptor wake_;
    const std::vector<std::string> roots_;
    const ExcludedSet excluded_;

    std::unordered_map<int, std::string> pathOf_;
    std::map<std::string, int> watchAt_; // ordered, so that a subtree is one range
    std::unordered_set<std::string> reportedUnwatched_;
    struct Unopened {
        int parentWd;
        std::string name;
        std::chrono::steady_clock::time_point since;
    };
    std::vector<Unopened> unopened_;
    // A folder moved away whose arrival (same cookie) has not been read yet: old path, wd.
    std::unordered_map<std::uint32_t, std::pair<std::string, int>> pendingMoves_;

    Batch batch_;
    std::uint64_t lastEventID_;
    std::optional<std::chrono::steady_clock::time_point> lastFlush_;

    alignas(inotify_event) std::array<std::byte, 65536> events_{};
};

// Runs on any walker thread: reads the maps, which no one writes during a walk, and
// keeps what it learns in `found`.
bool FileSystemWatcher::Session::tryWatch(const std::string& path, int dir, WalkFindings& found,
                                          std::atomic<std::size_t>& watches) const {
    const bool counted = !watchAt_.contains(path);
    if (counted && watches.fetch_add(1, std::memory_order_relaxed) >= options_.watchLimit) {
        watches.fetch_sub(1, std::memory_order_relaxed);
        found.refused.push_back(path);
        return false;
    }
    // Through the open descriptor, so the watch lands on the folder that was listed even
    // when a parent was renamed a moment ago; the path is the fallback without /proc.
    char viaDescriptor[40];
    std::snprintf(viaDescriptor, sizeof viaDescriptor, "/proc/self/fd/%d", dir);
    int wd = ::inotify_add_watch(inotify_.get(), viaDescriptor, watchMask & ~IN_DONT_FOLLOW);
    if (wd < 0 && errno == ENOENT)
        wd = ::inotify_add_watch(inotify_.get(), path.c_str(), watchMask);
    if (wd >= 0) {
        found.watched.emplace_back(wd, path);
        return true;
    }
    const int error = errno;
    if (counted) watches.fetch_sub(1, std::memory_order_relaxed);
    // Gone, unreadable or a link by now: nothing below it can be watched or indexed.
    if (error == ENOSPC) found.refused.push_back(path);
    // Past PATH_MAX and without /proc: unwatchable, so the updater reads it once.
    if (error == ENAMETOOLONG) found.unwatchable.push_back(path);
    return false;
}

void FileSystemWatcher::Session::remember(int wd, std::string path) {
    if (auto known = pathOf_.find(wd); known != pathOf_.end() && known->second != path) {
        if (auto at = watchAt_.find(known->second); at != watchAt_.end() && at->second == wd)
            watchAt_.erase(at);
    }
    watchAt_[path] = wd;
    pathOf_[wd] = std::move(path);
}

void FileSystemWatcher::Session::record(WalkFindings& found) {
    for (auto& [wd, path] : found.watched)
        remember(wd, std::move(path));
    for (const auto& path : found.refused)
        limitReached(path);
    for (auto& path : found.unwatchable)
        if (reportedUnwatched_.insert(path).second) batch_.mustScanSubtrees.push_back(path);
    std::move(found.listed.begin(), found.listed.end(), std::back_inserter(batch_.paths));
}

void FileSystemWatcher::Session::limitReached(const std::string& path) {
    limitReached_.store(true, std::memory_order_release);
    if (reportedUnwatched_.insert(path).second) batch_.mustScanSubtrees.push_back(path);
}

// The watch goes on before the listing, so an item created meanwhile is either listed or
// announced by an event (or both); never neither. The walk goes by descriptors: a folder
// renamed while it is walked keeps them, and the rename's own event, read later, corrects
// the recorded paths. Only the folders with unvisited children hold a descriptor.
bool FileSystemWatcher::Session::watchTree(const std::string& top, bool reportContents,
                                           int threads) {
    // The top by its path, which may be longer than PATH_MAX, following a root that is a
    // link; the rest by name.
    auto opened = std::make_shared<FileDescriptor>(
        isRoot(top) ? DirectoryScanner::openRoot(top.c_str())
                    : DirectoryScanner::openDirectory(top.c_str()));
    if (!*opened) return false; // errno tells why
    FolderQueue queue;
    queue.push({std::move(opened), {}, top});
    std::vector<WalkFindings> found(static_cast<std::size_t>(std::max(threads, 1)));
    std::atomic<std::size_t> watches{pathOf_.size()};
    {
        std::vector<std::jthread> helpers;
        try {
            for (std::size_t i = 1; i < found.size(); ++i)
                helpers.emplace_back(
                    [&, i] { walkFolders(queue, found[i], reportContents, watches); });
        } catch (const std::system_error&) {
            // Fewer helpers than asked: the walk still finishes on the threads it has.
        }
        walkFolders(queue, found[0], reportContents, watches);
    }
    for (auto& findings : found)
        record(findings);
    return true;
}

// One walker: takes folders until none is left and no other walker can add more. A folder
// with an empty name is the top, whose descriptor is already open in `parent`.
void FileSystemWatcher::Session::walkFolders(FolderQueue& queue, WalkFindings& found,
                                             bool reportContents,
                                             std::atomic<std::size_t>& watches) const {
    alignas(dirent64) std::array<std::byte, 32768> listing;
    std::vector<PendingFolder> children;
    while (auto folder = queue.take()) {
        auto own = std::move(folder->parent);
        if (!folder->name.empty())
            own = std::make_shared<FileDescriptor>(::openat(
                own->get(), folder->name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const int dir = own->get();
        if (dir >= 0 && tryWatch(folder->path, dir, found, watches)) {
            listFolder(dir, listing, [&](std::string_view name, bool isFolder) {
                if (!isFolder && !reportContents) return;
                std::string child = join(folder->path, name);
                if (reportContents) found.listed.push_back(child);
                if (isFolder && !excluded_.contains(child))
                    children.push_back({own, std::string(name), std::move(child)});
            });
        }
        queue.finish(children);
    }
}

// Removes top and everything below it from watchAt_ and returns them.
std::vector<std::pair<std::string, int>>
FileSystemWatcher::Session::takeSubtree(const std::string& top) {
    std::vector<std::pair<std::string, int>> taken;
    if (const auto it = watchAt_.find(top); it != watchAt_.end()) {
        taken.emplace_back(*it);
        watchAt_.erase(it);
    }
    const std::string prefix = top == "/" ? top : top + '/';
    const auto first = watchAt_.lower_bound(prefix);
    auto last = first;
    while (last != watchAt_.end() && last->first.starts_with(prefix))
        ++last;
    taken.insert(taken.end(), first, last);
    watchAt_.erase(first, last);
    return taken;
}

void FileSystemWatcher::Session::renameSubtree(const std::string& from, const std::string& to) {
    for (auto& [path, wd] : takeSubtree(from)) {
        std::string renamed = to + path.substr(from.size());
        pathOf_[wd] = renamed;
        watchAt_[std::move(renamed)] = wd;
    }
    if (excluded_.contains(to)) unwatchSubtree(to);
}

// The kernel keeps watching a folder wherever it is moved; its watches would report paths
// that are no longer below any root, so they go.
void FileSystemWatcher::Session::unwatchSubtree(const std::string& top) {
    for (const auto& [path, wd] : takeSubtree(top)) {
        ::inotify_rm_watch(inotify_.get(), wd);
        pathOf_.erase(wd);
    }
}

void FileSystemWatcher::Session::forget(int wd) {
    const auto known = pathOf_.find(wd);
    if (known == pathOf_.end()) return;
    if (auto at = watchAt_.find(known->second); at != watchAt_.end() && at->second == wd)
        watchAt_.erase(at);
    pathOf_.erase(known);
}

void FileSystemWatcher::Session::run() {
    ::pthread_setname_np(::pthread_self(), threadName);
    for (;;) {
        if (!batch_.paths.empty() || !batch_.mustScanSubtrees.empty()) {
            const auto now = std::chrono::steady_clock::now();
            if (!lastFlush_ || now >= *lastFlush_ + options_.latency) flush();
        }
        std::array<pollfd, 2> fds{{{inotify_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}}};
        const int ready = ::poll(fds.data(), fds.size(), pollTimeout());
        if (ready < 0 && errno != EINTR) return;
        if (ready == 0 && !unopened_.empty()) retryUnopened();
        if (ready <= 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) != 0) {
            if (!drain()) return;
        } else if (fds[0].revents != 0) {
            return;
        }
    }
}

int FileSystemWatcher::Session::pollTimeout() const {
    const int timeout = batchTimeout();
    if (unopened_.empty()) return timeout;
    const int retry = static_cast<int>(unopenedRetry.count());
    return timeout < 0 ? retry : std::min(timeout, retry);
}

int FileSystemWatcher::Session::batchTimeout() const {
    if ((batch_.paths.empty() && batch_.mustScanSubtrees.empty()) || !lastFlush_) return -1;
    const auto left = *lastFlush_ + options_.latency - std::chrono::steady_clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, 1 << 30));
}

void FileSystemWatcher::Session::flush() {
    lastEventID_ = std::max(options_.clock ? options_.clock() : realtimeMicros(), lastEventID_ + 1);
    batch_.lastEventID = lastEventID_;
    lastFlush_ = std::chrono::steady_clock::now();
    handler_(std::exchange(batch_, Batch{}));
}

// False when the inotify descriptor failed for good.
bool FileSystemWatcher::Session::drain() {
    for (int round = 0; round < readsPerWakeUp; ++round) {
        const ssize_t length = ::read(inotify_.get(), events_.data(), events_.size());
        if (length < 0 && errno == EINTR) continue;
        if (length < 0 && errno == EAGAIN) {
            // The two halves of a move are queued back to back, so a half alone by now means
            // the folder left the roots. Should a read ever split them, the folder is
            // unwatched here and watched afresh on arrival: dearer, still right.
            resolveUnmatchedMoves();
            retryUnopened();
            return true;
        }
        if (length <= 0) return false;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events_.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            handle(*event);
        }
    }
    return true;
}

void FileSystemWatcher::Session::handle(const inotify_event& event) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
        handleOverflow();
        return;
    }
    const auto known = pathOf_.find(event.wd);
    if (known == pathOf_.end()) return;
    if ((event.mask & IN_IGNORED) != 0) {
        forget(event.wd);
        return;
    }
    const std::string folder = known->second; // the maps may change below
    if (event.len == 0 || event.name[0] == '\0') {
        handleSelf(event, folder);
        return;
    }
    const std::string path = join(folder, event.name);
    batch_.paths.push_back(path);
    if ((event.mask & IN_ISDIR) != 0) handleFolder(event, path);
}

void FileSystemWatcher::Session::handleSelf(const inotify_event& event, const std::string& folder) {
    const bool root = isRoot(folder);
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) == 0) {
        batch_.paths.push_back(folder); // the folder's own attributes
    } else if (root) {
        batch_.mustScanSubtrees.push_back(folder);
        if ((event.mask & IN_MOVE_SELF) != 0) unwatchSubtree(folder);
    } else if ((event.mask & IN_UNMOUNT) != 0) {
        batch_.paths.push_back(folder);
    }
    // Deleting or moving a folder below a root was reported by its parent's watch.
}

void FileSystemWatcher::Session::handleFolder(const inotify_event& event, const std::string& path) {
    if ((event.mask & IN_MOVED_FROM) != 0) {
        const auto at = watchAt_.find(path);
        if (at != watchAt_.end()) pendingMoves_[event.cookie] = {path, at->second};
        return;
    }
    if ((event.mask & IN_MOVED_TO) != 0) {
        if (const auto move = pendingMoves_.find(event.cookie); move != pendingMoves_.end()) {
            renameSubtree(move->second.first, path);
            pendingMoves_.erase(move);
            return;
        }
    } else if ((event.mask & IN_ATTRIB) != 0) {
        // A folder left unwatched because it was unreadable may have just become readable;
        // its contents were never listed either, so they are reported as new.
        if (watchAt_.contains(path)) return;
    } else if ((event.mask & IN_CREATE) == 0) {
        return;
    }
    // New to the roots: its creation events and those of everything inside were missed.
    if (!excluded_.contains(path)) watchNewFolder(event.wd, event.name, path);
}

// The event names the folder by its parent's path as we know it; when a parent was
// renamed after the folder appeared, that path is stale until the rename's own events are
// read. So a folder that cannot be opened is tried again under its parent's current path
// once the queue is drained, for a short while, before it is taken to be gone.
void FileSystemWatcher::Session::watchNewFolder(int parentWd, std::string_view name,
                                                const std::string& path) {
    if (watchTree(path, true) || errno != ENOENT) return;
    unopened_.push_back({parentWd, std::string(name), std::chrono::steady_clock::now()});
}

void FileSystemWatcher::Session::retryUnopened() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<Unopened> still;
    for (auto& folder : std::exchange(unopened_, {})) {
        const auto parent = pathOf_.find(folder.parentWd);
        if (parent == pathOf_.end()) continue; // the parent went too
        const std::string path = join(parent->second, folder.name);
        if (excluded_.contains(path) || watchTree(path, true)) continue;
        if (errno == ENOENT && now - folder.since < unopenedPatience)
            still.push_back(std::move(folder));
    }
    unopened_ = std::move(still);
}

void FileSystemWatcher::Session::handleOverflow() {
    for (const auto& root : roots_) {
        if (excluded_.contains(root)) continue;
        batch_.mustScanSubtrees.push_back(root);
        // Folders created while events were lost have no watch yet.
        watchTree(root, false);
    }
}

void FileSystemWatcher::Session::resolveUnmatchedMoves() {
    for (const auto& [cookie, move] : pendingMoves_) {
        const auto at = watchAt_.find(move.first);
        if (at != watchAt_.end() && at->second == move.second) unwatchSubtree(move.first);
    }
    pendingMoves_.clear();
}

FileSystemWatcher::FileSystemWatcher(Handler handler)
    : FileSystemWatcher(std::move(handler), Options{}) {}

FileSystemWatcher::FileSystemWatcher(Handler handler, Options options)
    : handler_(std::move(handler)), options_(std::move(options)) {}

FileSystemWatcher::~FileSystemWatcher() {
    stop();
}

void FileSystemWatcher::start(const std::vector<std::string>& roots, std::uint64_t since,
                              const ExcludedSet& excluded) {
    for (const auto& root : roots) {
        if (root.empty() || root.front() != '/')
            throw std::invalid_argument("watched roots must be absolute paths: \"" + root + "\"");
    }
    stop();
    if (roots.empty()) return;
    watchLimitReached_.store(false, std::memory_order_release);
    FileDescriptor inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    FileDescriptor wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (inotify.get() < 0 || wake.get() < 0) return;
    auto session =
        std::make_unique<Session>(handler_, options_, watchLimitReached_, std::move(inotify),
                                  std::move(wake), roots, excluded, std::max(since, lastEventID_));
    session->watchRoots(since != 0);
    thread_ = std::thread([s = session.get()] { s->run(); });
    session_ = std::move(session);
}

void FileSystemWatcher::stop() {
    if (!thread_.joinable()) return;
    session_->wake();
    thread_.join();
    lastEventID_ = session_->lastEventID();
    session_.reset();
}

} // namespace vesko
