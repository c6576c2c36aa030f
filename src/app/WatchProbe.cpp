// SPDX-License-Identifier: GPL-3.0-or-later
// --watch: the live-update path end to end over the saved archive. A file is created and
// deleted in the probe folder; the watcher's batches go through the updater, and a search
// must find the file after the creation and miss it after the deletion. The file gets a
// fresh random name, is created exclusively (a user's file is never touched) and is removed
// again when SIGINT or SIGTERM ends the run.
#include "app/Headless.h"
#include "app/ReportOutput.h"

#include "index/IndexNavigator.h"
#include "scan/IndexUpdater.h"
#include "search/Search.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko::Headless {
namespace {

using Report::format;
using Report::milliseconds;

// Before the change, so the watcher's first walk is long over; after it, so the batch
// (sent at once, or within the watcher's 0.5 s coalescing) has surely arrived.
constexpr auto settleBefore = std::chrono::milliseconds(1500);
constexpr auto settleAfter = std::chrono::milliseconds(3000);

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Holds SIGINT and SIGTERM (those not ignored at start) in this thread and in every thread
// it starts, such as the watcher's, so an interruption is only taken while the probe waits,
// where it can remove its file first.
class HeldInterrupts {
public:
    HeldInterrupts() {
        sigemptyset(&held_);
        for (const int number : {SIGINT, SIGTERM}) {
            struct sigaction current {};
            if (::sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
                sigaddset(&held_, number);
        }
        ::pthread_sigmask(SIG_BLOCK, &held_, &previous_);
    }
    ~HeldInterrupts() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

    // Waits for `duration`; the signal that interrupted the wait, or 0.
    int sleep(std::chrono::milliseconds duration) const {
        const auto until = std::chrono::steady_clock::now() + duration;
        for (;;) {
            const auto left = until - std::chrono::steady_clock::now();
            if (left <= std::chrono::nanoseconds::zero()) return 0;
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
            const timespec timeout{static_cast<time_t>(seconds.count()),
                                   static_cast<long>((left - seconds).count())};
            const int number = ::sigtimedwait(&held_, nullptr, &timeout);
            if (number > 0) return number;
            if (errno != EINTR && errno != EAGAIN) return 0;
        }
    }

    // Ends the process by `number` as if it had never been held, so the parent sees it.
    [[noreturn]] void endBy(int number) const {
        std::fflush(stdout);
        ::signal(number, SIG_DFL);
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        ::raise(number);
        ::_exit(128 + number);
    }

private:
    sigset_t held_;
    sigset_t previous_;
};

// A name no file of the user's is likely to have; creation is exclusive all the same.
std::string freshProbeName() {
    std::random_device random;
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%08x%08x", random(), random());
    return std::string("vesko-probe-") + suffix + ".txt";
}

// The probe file: created only where no file of that name exists, and removed only by
// the one who created it.
class ProbeFile {
public:
    ProbeFile(const std::string& folder, std::string name)
        : name_(std::move(name)), path_(folder + "/" + name_) {}
    ~ProbeFile() { remove(); }
    ProbeFile(const ProbeFile&) = delete;
    ProbeFile& operator=(const ProbeFile&) = delete;

    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }

    // False when the name is taken or the file cannot be written; nothing is left then.
    bool create(std::string_view content) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        created_ = true;
        const bool written =
            ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) remove();
        return created_;
    }

    void remove() {
        if (created_) ::unlink(path_.c_str());
        created_ = false;
    }

private:
    std::string name_;
    std::string path_;
    bool created_ = false;
};

std::int64_t countMatches(const std::string& name, const FileIndex& index, const NameTable& names) {
    Search::Request request;
    request.query = name;
    request.limit = 10;
    return Search::run(request, index, names).totalMatches;
}

// Never throws: an index that cannot grow shows as a failed verdict after this line.
void applyCollected(IndexUpdater& updater, Collector& collector, ReportOutput& report) {
    try {
        const IndexUpdater::Report applied = updater.apply(collector.take());
        report.line("  → 반영     추가 " + std::to_string(applied.added) + " · 훑은 디렉터리 " +
                    std::to_string(applied.directoriesScanned));
    } catch (const std::exception& error) {
        report.line(std::string("  → 반영     ❌ ") + error.what());
    }
}

// Loads the saved archive and builds what the updater needs, printing each step; nothing
// when there is no usable archive.
std::optional<IndexArchive::Loaded> prepare(ReportOutput& report, const std::string& probeName,
                                            const SharedIndexNavigator& navigator) {
    auto loaded = loadSavedArchive();
    if (!loaded) {
        report.line("❌ 덤프가 없다. 먼저 --scan --archive 로 만든다");
        return std::nullopt;
    }
    report.line("덤프 로드   " + std::to_string(loaded->index.count()) + "개 · 마지막 이벤트 id " +
                std::to_string(loaded->lastEventID));
    auto start = std::chrono::steady_clock::now();
    navigator->build(loaded->index);
    const double navigatorMs = milliseconds(secondsSince(start));
    start = std::chrono::steady_clock::now();
    loaded->names->rebuildIndexIfNeeded();
    const double hashMs = milliseconds(secondsSince(start));
    report.line(format("보조 색인   자식·구간 %.1fms · 이름 해시표 %.1fms", navigatorMs, hashMs));
    report.line("탐침 「" + probeName + "」  시작 시점 " +
                std::to_string(countMatches(probeName, loaded->index, *loaded->names)));
    return loaded;
}

} // namespace

void Collector::add(FileSystemWatcher::Batch batch) {
    std::lock_guard guard(lock_);
    batch_.paths.insert(batch_.paths.end(), batch.paths.begin(), batch.paths.end());
    batch_.mustScanSubtrees.insert(batch_.mustScanSubtrees.end(), batch.mustScanSubtrees.begin(),
                                   batch.mustScanSubtrees.end());
    batch_.lastEventID = std::max(batch_.lastEventID, batch.lastEventID);
}

FileSystemWatcher::Batch Collector::take() {
    std::lock_guard guard(lock_);
    return std::exchange(batch_, {});
}

// Bad usage is told on standard error before anything is loaded.
std::optional<std::string> probeFolderProblem(const std::string& probe) {
    struct stat status {};
    if (::stat(probe.c_str(), &status) != 0)
        return "cannot probe in " + probe + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode)) return "cannot probe in " + probe + ": not a folder";
    return std::nullopt;
}

int watchTest(const std::string& probe, const std::optional<std::string>& out) {
    if (const auto problem = probeFolderProblem(probe)) {
        std::fprintf(stderr, "vesko: %s\n", problem->c_str());
        return statusUsage;
    }
    const HeldInterrupts interrupts;
    ReportOutput report(out);
    const std::string folder = absoluteFolder(probe);
    ProbeFile file(folder, freshProbeName());
    auto navigator = std::make_shared<IndexNavigator>();
    auto loaded = prepare(report, file.name(), navigator);
    if (!loaded) return statusUsage;
    Collector collector;
    FileSystemWatcher watcher(
        [&collector](FileSystemWatcher::Batch batch) { collector.add(std::move(batch)); });
    try {
        watcher.start({folder}, loaded->lastEventID);
    } catch (const std::exception&) {
        // A folder the watcher refuses shows as failed verdicts below.
    }
    IndexUpdater updater(loaded->index, loaded->names, navigator);
    const auto settle = [&](std::chrono::milliseconds duration) {
        if (const int number = interrupts.sleep(duration)) {
            file.remove();
            interrupts.endBy(number);
        }
    };

    settle(settleBefore);
    if (!file.create("hello"))
        report.line("❌ 탐침 파일을 만들지 못했다: " + report.shownPath(file.path()));
    report.line("파일 생성   " + report.shownPath(file.path()));
    settle(settleAfter);
    applyCollected(updater, collector, report);
    const std::int64_t afterCreate = countMatches(file.name(), updater.index(), *loaded->names);
    report.line("  → 검색     " + std::to_string(afterCreate));
    report.line(afterCreate >= 1 ? "✅ 생성이 반영됐다" : "❌ 생성이 반영되지 않았다");

    file.remove();
    report.line("파일 삭제   " + report.shownPath(file.path()));
    settle(settleAfter);
    applyCollected(updater, collector, report);
    const std::int64_t afterDelete = countMatches(file.name(), updater.index(), *loaded->names);
    report.line(afterDelete == 0 ? "✅ 삭제가 반영됐다" : "❌ 삭제가 반영되지 않았다");
    watcher.stop();
    return afterCreate >= 1 && afterDelete == 0 ? statusPassed : statusFailed;
}

} // namespace vesko::Headless
