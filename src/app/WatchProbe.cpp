// SPDX-License-Identifier: MIT
// --watch: the live-update path end to end over the saved archive. A file is created and
// deleted in the probe folder; the watcher's batches go through the updater, and a search
// must find the file after the creation and miss it after the deletion.
#include "app/Headless.h"
#include "app/ReportOutput.h"

#include "index/IndexNavigator.h"
#include "scan/IndexUpdater.h"
#include "search/Search.h"

#include <chrono>
#include <thread>
#include <unistd.h>

namespace vesko::Headless {
namespace {

using Report::format;
using Report::milliseconds;

constexpr char probeName[] = "vesko-fsevents-test-created.txt";
// Before the change, so the watcher's first walk is long over; after it, so the batch
// (sent at once, or within the watcher's 0.5 s coalescing) has surely arrived.
constexpr auto settleBefore = std::chrono::milliseconds(1500);
constexpr auto settleAfter = std::chrono::milliseconds(3000);

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::int64_t countMatches(const FileIndex& index, const NameTable& names) {
    Search::Request request;
    request.query = probeName;
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
std::optional<IndexArchive::Loaded> prepare(ReportOutput& report,
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
    report.line("탐침 「" + std::string(probeName) + "」  시작 시점 " +
                std::to_string(countMatches(loaded->index, *loaded->names)));
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

void watchTest(const std::string& probe, const std::optional<std::string>& out) {
    ReportOutput report(out);
    auto navigator = std::make_shared<IndexNavigator>();
    auto loaded = prepare(report, navigator);
    if (!loaded) return;
    const std::string folder = absoluteFolder(probe);
    Collector collector;
    FileSystemWatcher watcher(
        [&collector](FileSystemWatcher::Batch batch) { collector.add(std::move(batch)); });
    try {
        watcher.start({folder}, loaded->lastEventID);
    } catch (const std::exception&) {
        // A folder the watcher refuses shows as failed verdicts below.
    }
    IndexUpdater updater(loaded->index, loaded->names, navigator);
    const std::string file = folder + "/vesko-fsevents-test" + "-created" + ".txt";

    std::this_thread::sleep_for(settleBefore);
    writeFileAtomically(file, "hello");
    report.line("파일 생성   " + file);
    std::this_thread::sleep_for(settleAfter);
    applyCollected(updater, collector, report);
    const std::int64_t afterCreate = countMatches(updater.index(), *loaded->names);
    report.line("  → 검색     " + std::to_string(afterCreate));
    report.line(afterCreate >= 1 ? "✅ 생성이 반영됐다" : "❌ 생성이 반영되지 않았다");

    ::unlink(file.c_str());
    report.line("파일 삭제   " + file);
    std::this_thread::sleep_for(settleAfter);
    applyCollected(updater, collector, report);
    const std::int64_t afterDelete = countMatches(updater.index(), *loaded->names);
    report.line(afterDelete == 0 ? "✅ 삭제가 반영됐다" : "❌ 삭제가 반영되지 않았다");
    watcher.stop();
}

} // namespace vesko::Headless
