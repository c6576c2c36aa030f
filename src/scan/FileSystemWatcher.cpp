// SPDX-License-Identifier: MIT
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
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
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
            watchTree(root, false);
        }
    }

    void run();
    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(wake_.get(), &one, sizeof one);
    }
    std::uint64_t lastEventID() const { return lastEventID_; }

private:
    bool addWatch(const std::string& path, int dir);
    void limitReached(const std::string& path);
    // False when the top folder could not be opened at all.
    bool watchTree(const std::string& top, bool reportContents);
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
    alignas(dirent64) std::array<std::byte, 32768> listing_{};
};

bool FileSystemWatcher::Session::addWatch(const std::string& path, int dir) {
    if (pathOf_.size() >= options_.watchLimit && !watchAt_.contains(path)) {
        limitReached(path);
        return false;
    }
    // Through the open descriptor, so the watch lands on the folder that was listed even
    // when a parent was renamed a moment ago; the path is the fallback without /proc.
    char viaDescriptor[40];
    std::snprintf(viaDescriptor, sizeof viaDescriptor, "/proc/self/fd/%d", dir);
    int wd = ::inotify_add_watch(inotify_.get(), viaDescriptor, watchMask & ~IN_DONT_FOLLOW);
    if (wd < 0 && errno == ENOENT)
        wd = ::inotify_add_watch(inotify_.get(), path.c_str(), watchMask);
    if (wd < 0) {
        // Gone, unreadable or a link by now: nothing below it can be watched or indexed.
        if (errno == ENOSPC) limitReached(path);
        // Past PATH_MAX and without /proc: unwatchable, so the updater reads it once.
        if (errno == ENAMETOOLONG && reportedUnwatched_.insert(path).second)
            batch_.mustScanSubtrees.push_back(path);
        return false;
    }
    if (auto known = pathOf_.find(wd); known != pathOf_.end() && known->second != path) {
        if (auto at = watchAt_.find(known->second); at != watchAt_.end() && at->second == wd)
            watchAt_.erase(at);
    }
    pathOf_[wd] = path;
    watchAt_[path] = wd;
    return true;
}

void FileSystemWatcher::Session::limitReached(const std::string& path) {
    limitReached_.store(true, std::memory_order_release);
    if (reportedUnwatched_.insert(path).second) batch_.mustScanSubtrees.push_back(path);
}

// The watch goes on before the listing, so an item created meanwhile is either listed or
// announced by an event (or both); never neither. The walk goes by descriptors: a folder
// renamed while it is walked keeps them, and the rename's own event, read later, corrects
// the recorded paths. Only the folders with unvisited children hold a descriptor.
bool FileSystemWatcher::Session::watchTree(const std::string& top, bool reportContents) {
    struct Folder {
        std::shared_ptr<FileDescriptor> parent;
        std::string name; // relative to parent, or the whole path without one
        std::string path;
    };
    std::vector<Folder> stack{{nullptr, top, top}};
    while (!stack.empty()) {
        const Folder folder = std::move(stack.back());
        stack.pop_back();
        // The top by its path, which may be longer than PATH_MAX; the rest by name.
        auto dir = std::make_shared<FileDescriptor>(
            folder.parent
                ? FileDescriptor(::openat(folder.parent->get(), folder.name.c_str(),
                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
                : DirectoryScanner::openDirectory(top.c_str()));
        if (dir->get() < 0 && !folder.parent) return false; // errno tells why
        if (dir->get() < 0 || !addWatch(folder.path, dir->get())) continue;
        listFolder(dir->get(), listing_, [&](std::string_view name, bool isFolder) {
            std::string child = join(folder.path, name);
            if (reportContents) batch_.paths.push_back(child);
            if (isFolder && !excluded_.contains(child))
                stack.push_back({dir, std::string(name), std::move(child)});
        });
    }
    return true;
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
