// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/ArchiveFaultGuard.h"

#include <signal.h>
#define XXH_INLINE_ALL
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace vesko::ArchiveFaultGuard {
namespace {

// Written by the loading thread, read only inside the handler.
struct Armed {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    int fd = -1;
    off_t size = 0;
    timespec modified{};
    std::uint64_t storedChecksum = 0; // the file's last 8 bytes when it was mapped
    const char* message = "";
    int status = 0;
};

Armed armed;
std::atomic<bool> installed{false};

// Only async-signal-safe calls: fstat, write, _exit, sigaction, and hashing (pure computation).
bool fileChanged() {
    struct stat now {};
    if (armed.fd < 0 || ::fstat(armed.fd, &now) != 0) return false;
    return now.st_size != armed.size || now.st_mtim.tv_sec != armed.modified.tv_sec ||
           now.st_mtim.tv_nsec != armed.modified.tv_nsec;
}

// A rewrite in place within one tick of the file-system clock keeps size and time, but not
// the hash. Called only when the size is unchanged, so reading the whole mapping cannot fault.
bool contentChanged() {
    constexpr std::uintptr_t checksumBytes = sizeof armed.storedChecksum;
    if (armed.end - armed.begin < checksumBytes) return false;
    const auto* base = reinterpret_cast<const void*>(armed.begin);
    return XXH3_64bits(base, armed.end - armed.begin - checksumBytes) != armed.storedChecksum;
}

void onFault(int signal, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if ((address >= armed.begin && address < armed.end) || fileChanged() || contentChanged()) {
        [[maybe_unused]] const ssize_t n = ::write(2, armed.message, std::strlen(armed.message));
        ::_exit(armed.status);
    }
    // Not the archive's doing: with the default action back, a fault repeats when the
    // handler returns, and a signal someone sent is sent again, so the process ends as it
    // would have without the guard.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    if (info->si_code <= 0) ::raise(signal);
}

} // namespace

void install(const char* message, int status) {
    armed.message = message;
    armed.status = status;
    if (installed.exchange(true)) return;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
    ::sigaction(SIGSEGV, &action, nullptr);
}

void watch(const MappedArchive& mapping) {
    struct stat file {};
    const int fd = mapping.fileDescriptor();
    if (fd >= 0 && ::fstat(fd, &file) == 0) {
        armed.size = file.st_size;
        armed.modified = file.st_mtim;
    }
    armed.fd = fd;
    armed.begin = reinterpret_cast<std::uintptr_t>(mapping.base());
    armed.end = armed.begin + static_cast<std::uintptr_t>(mapping.size());
    if (mapping.size() >= static_cast<std::int64_t>(sizeof armed.storedChecksum))
        std::memcpy(&armed.storedChecksum,
                    reinterpret_cast<const void*>(armed.end - sizeof armed.storedChecksum),
                    sizeof armed.storedChecksum);
}

} // namespace vesko::ArchiveFaultGuard
