// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/ArchiveLease.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace vesko {

namespace {

// A real-time signal rather than SIGIO: it carries the descriptor of the broken lease and
// is not shared with other users of asynchronous I/O. The C library keeps the first few.
int breakSignal() {
    return SIGRTMIN + 6;
}

// Where the signal handler hands a broken lease's descriptor to the thread that copies.
std::atomic<int> breakPipe{-1};

void onBreak(int, siginfo_t* info, void*) {
    const int saved = errno;
    const int fd = info->si_fd;
    const int pipe = breakPipe.load(std::memory_order_relaxed);
    // Nothing can be done here about a failed write: the kernel lets the writer go on
    // after its lease-break-time.
    if (pipe >= 0 && ::write(pipe, &fd, sizeof fd) < 0) {
    }
    errno = saved;
}

// Replaces the private mapping at `base` by anonymous memory holding the same bytes, in one
// step for every thread reading it (mremap over the old pages).
bool copyInPlace(void* base, std::size_t size) {
    void* copy = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (copy == MAP_FAILED) return false;
    std::memcpy(copy, base, size);
    ::mprotect(copy, size, PROT_READ);
    if (::mremap(copy, size, size, MREMAP_MAYMOVE | MREMAP_FIXED, base) == MAP_FAILED) {
        ::munmap(copy, size);
        return false;
    }
    return true;
}

struct Guarded {
    void* base = nullptr;
    std::size_t size = 0;
    bool broken = false;
};

// The leases of this process and the thread that answers their breaks. It lives as long as
// the process: the handler and the thread may outlive every static object.
class Breaks {
public:
    static Breaks& instance() {
        static Breaks* const breaks = new Breaks;
        return *breaks;
    }

    // Starts the thread and installs the handler, once; false when either cannot be had,
    // and in a child forked after the thread started: it has no such thread, and starting
    // threads after a fork of a threaded process is not safe (a lock another thread held at
    // the fork stays held in the child, this one's included).
    bool ready() {
        const pid_t startedIn = startedIn_.load(std::memory_order_acquire);
        if (startedIn != 0) return startedIn == ::getpid();
        std::lock_guard lock(mutex_);
        if (startedIn_.load(std::memory_order_relaxed) != 0) return true;
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return false;
        struct sigaction action {};
        action.sa_sigaction = onBreak;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (::sigaction(breakSignal(), &action, nullptr) != 0) {
            ::close(ends[0]);
            ::close(ends[1]);
            return false;
        }
        breakPipe.store(ends[1], std::memory_order_relaxed);
        std::promise<pid_t> started;
        std::future<pid_t> answerer = started.get_future();
        std::thread([this, from = ends[0], started = std::move(started)]() mutable {
            started.set_value(::gettid());
            answer(from);
        }).detach();
        answerer_ = answerer.get();
        startedIn_.store(::getpid(), std::memory_order_release);
        return true;
    }

    // The thread that answers breaks, to which each lease's signal is sent.
    pid_t answerer() {
        std::lock_guard lock(mutex_);
        return answerer_;
    }

    void add(int fd) {
        std::lock_guard lock(mutex_);
        guarded_[fd] = Guarded{};
    }

    bool guard(int fd, void* base, std::size_t size) {
        std::lock_guard lock(mutex_);
        Guarded& guarded = guarded_[fd];
        if (guarded.broken) return false;
        guarded.base = base;
        guarded.size = size;
        return true;
    }

    void remove(int fd) {
        std::lock_guard lock(mutex_);
        guarded_.erase(fd);
    }

private:
    void answer(int from) {
        for (;;) {
            // Waiting in poll rather than read: a signal that arrives meanwhile is handled at
            // once also under a thread sanitizer, which holds back signals during a read.
            pollfd ready{from, POLLIN, 0};
            if (::poll(&ready, 1, -1) < 0) continue;
            int fd = -1;
            const ssize_t n = ::read(from, &fd, sizeof fd);
            if (n < 0 && errno == EINTR) continue;
            if (n != sizeof fd) return;
            std::lock_guard lock(mutex_);
            const auto it = guarded_.find(fd);
            if (it == guarded_.end() || it->second.broken) continue;
            Guarded& guarded = it->second;
            // Without memory for the copy the writer is let go all the same: holding it
            // until the kernel gives up would only delay the same outcome.
            if (guarded.base) copyInPlace(guarded.base, guarded.size);
            guarded.broken = true;
            ::fcntl(fd, F_SETLEASE, F_UNLCK);
        }
    }

    std::mutex mutex_;
    std::atomic<pid_t> startedIn_{0};
    pid_t answerer_ = 0;
    std::map<int, Guarded> guarded_;
};

} // namespace

std::unique_ptr<ArchiveLease> ArchiveLease::take(FileDescriptor& file) {
    Breaks& breaks = Breaks::instance();
    if (!file || !breaks.ready()) return nullptr;
    const int fd = file.get();
    breaks.add(fd);
    if (::fcntl(fd, F_SETSIG, breakSignal()) != 0 || ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
        breaks.remove(fd);
        return nullptr;
    }
    // Setting the lease made the whole process the signal's owner; the thread that answers
    // is the one that waits for it. A break before this line reaches another thread's
    // handler, which passes it on all the same.
    const f_owner_ex owner{F_OWNER_TID, breaks.answerer()};
    ::fcntl(fd, F_SETOWN_EX, &owner);
    return std::unique_ptr<ArchiveLease>(new ArchiveLease(std::move(file)));
}

ArchiveLease::~ArchiveLease() {
    Breaks::instance().remove(file_.get());
    ::fcntl(file_.get(), F_SETLEASE, F_UNLCK);
}

bool ArchiveLease::guard(void* base, std::size_t size) {
    return Breaks::instance().guard(file_.get(), base, size);
}

} // namespace vesko
