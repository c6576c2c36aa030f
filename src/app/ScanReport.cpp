// SPDX-License-Identifier: GPL-3.0-or-later
// The --scan report: one real build of one root, then the archive round trip, the memory
// breakdown and timed searches of every kind against the fresh index.
#include "app/Headless.h"
#include "app/ProcessMemory.h"
#include "app/ReportOutput.h"
#include "app/SearchProbe.h"

#include "index/IndexArchive.h"
#include "index/IndexNavigator.h"
#include "scan/IndexBuilder.h"
#include "store/LastFullScan.h"
#include "store/Permissions.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vesko::Headless {
namespace {

using Report::format;
using Report::left;
using Report::milliseconds;

constexpr char rule[] = "  ─────────────────────────────";
// Below this many entries the scan most likely ran somewhere it could not see the files.
constexpr std::int64_t smallIndex = 9999;

// One built index and the names it refers to; everything after the build reads it.
struct Scanned {
    std::vector<std::string> roots;
    FileIndex index;
    SharedNameTable names;
    IndexBuilder::Report report;
    std::optional<std::string> error;
};

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string executablePath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    return n > 0 ? buffer.substr(0, static_cast<std::size_t>(n)) : std::string("?");
}

void identification(ReportOutput& out) {
    out.line("  홈 폴더 접근 " + std::string(Permissions::rawText(Permissions::check())));
    const pid_t parent = ::getppid();
    const std::string name = firstLine("/proc/" + std::to_string(parent) + "/comm");
    out.line("   책임 프로세스: " + name + " (" + std::to_string(parent) + ")");
    out.line("  실행 파일: " + executablePath());
    const std::string home = homeFolder();
    for (const std::string_view probe : Permissions::probes) {
        const std::string folder = home + "/" + std::string(probe);
        if (const int error = Permissions::openError(folder))
            out.line("  " + folder + "  errno=" + std::to_string(error));
    }
}

void indexSection(ReportOutput& out, const IndexBuilder::Report& report, std::int64_t roots,
                  const std::optional<std::string>& error) {
    // The name table also holds each root's path, which is no entry's name, so the names
    // are a share of everything named: the entries and the roots.
    const std::int64_t named = report.entries + roots;
    const std::int64_t share = report.entries > 0 ? report.uniqueNames * 100 / named : 0;
    std::string text = "\n  인덱스\n  ─────────────────────────────\n  항목         " +
                       std::to_string(report.entries) + "\n  디렉터리     " +
                       std::to_string(report.directories) + "\n  고유 이름    " +
                       std::to_string(report.uniqueNames) + "  (" + std::to_string(share) +
                       "%)\n  열지 못함    " + std::to_string(report.deniedDirectories);
    for (const auto& root : report.unreadableRoots)
        text += "\n  ❌ 루트를 열지 못함: " + root.path + " (" + std::strerror(root.error) + ")";
    if (Permissions::looksBlind(report))
        text += "  ⚠️ 눈이 멀었다 - Flatpak/Snap 샌드박스의 홈 폴더 접근을 "
                "확인하라";
    text += "\n  syscall      " + std::to_string(report.syscalls);
    text += format("\n  소요         %.2f초", report.duration);
    text +=
        format("\n  상주 데이터  %.1fMB", ProcessMemory::mebibytes(ProcessMemory::residentBytes()));
    text += format("\n  footprint    %.1fMB",
                   ProcessMemory::mebibytes(ProcessMemory::footprintBytes()));
    if (error) text += "\n  ❌ " + *error;
    out.line(text);
    out.line(rule);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double fileMegabytes(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return 0;
    return static_cast<double>(status.st_size) / (1024.0 * 1024.0);
}

void archiveSection(ReportOutput& out, const Scanned& scanned) {
    out.line("  덤프 (BRIEF §7-8)");
    out.line(rule);
    const std::string path = IndexArchive::urlFor(scanned.roots);
    out.line("  파일         " + path);
    auto start = std::chrono::steady_clock::now();
    const auto problem =
        IndexArchive::save(scanned.index, *scanned.names, 0, LastFullScan::now(), path);
    const double saveSeconds = secondsSince(start);
    out.line(format("  크기         %.1fMB", problem ? 0.0 : fileMegabytes(path)));
    out.line(problem ? "  저장         ❌ " + *problem
                     : format("  저장         %.2f초", saveSeconds));
    start = std::chrono::steady_clock::now();
    const auto loaded = IndexArchive::load(scanned.roots, path);
    const double loadSeconds = secondsSince(start);
    if (!loaded) {
        out.line("  불러오기     ❌ 읽을 수 없다");
        return;
    }
    out.line(format("  불러오기     %.3f초  ", loadSeconds) +
             (loadSeconds <= 1.0 ? "✅ §4 기준 1초 안" : "❌ 1초 초과"));
    out.line("  되살린 항목  " + std::to_string(loaded->index.count()));
    const auto original = SearchProbe::plain("swift", scanned.index, *scanned.names);
    const auto restored = SearchProbe::plain("swift", loaded->index, *loaded->names);
    out.line("  대조         원본 " + std::to_string(original.totalMatches) + "개 / 되살림 " +
             std::to_string(restored.totalMatches));
}

void memoryLine(ReportOutput& out, const std::string& label, std::int64_t bytes,
                bool onlyForUpdates = false) {
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    out.line("  " + left(label, 26) + format(" %7.1fMB", mb) +
             (onlyForUpdates ? "  (inotify 전용)" : ""));
}

// The name hash and the navigator serve only the live updater (interning and resolving
// changed folders); searching needs the columns and the name bytes alone.
void memorySection(ReportOutput& out, const Scanned& scanned) {
    out.line("\n  메모리 내역");
    out.line(rule);
    std::int64_t searchBytes = 0;
    for (const auto& [label, bytes] : scanned.index.memoryBreakdown(*scanned.names)) {
        memoryLine(out, label, bytes);
        searchBytes += bytes;
    }
    memoryLine(out, "── 검색에 필요한 것 소계", searchBytes);
    const std::int64_t hashBytes = scanned.names->hashTableBytes();
    memoryLine(out, "빌드용 해시 표", hashBytes, true);
    IndexNavigator navigator;
    navigator.build(scanned.index);
    const std::int64_t auxiliaryBytes = navigator.bytes();
    navigator.release();
    memoryLine(out, "보조 색인", auxiliaryBytes, true);
    memoryLine(out, "합계", searchBytes + hashBytes + auxiliaryBytes);
}

Scanned scan(const std::string& root) {
    Scanned scanned;
    scanned.roots = {root};
    auto names = std::make_shared<NameTable>();
    IndexBuilder::Result built =
        IndexBuilder::build(scanned.roots, IndexBuilder::defaultWorkers(), names);
    scanned.index = std::move(built.index);
    scanned.names = built.names ? built.names : names;
    scanned.report = built.report;
    scanned.error = built.error;
    return scanned;
}

} // namespace

std::vector<std::string> queries(const Arguments& args) {
    auto given = DevOptions::valuesIn(args, "--query");
    return given.empty() ? builtInQueries : given;
}

void run(const Arguments& args) {
    ReportOutput out(DevOptions::valueIn(args, "--out"));
    const std::string root =
        absoluteFolder(DevOptions::valueIn(args, "--root").value_or(homeFolder()));
    identification(out);
    Scanned scanned = scan(root);
    indexSection(out, scanned.report, std::ssize(scanned.roots), scanned.error);
    if (DevOptions::hasIn(args, "--archive")) archiveSection(out, scanned);
    memorySection(out, scanned);
    if (scanned.index.count() <= smallIndex)
        out.line("\n  ❌ 항목이 너무 적다. Flatpak/Snap 샌드박스가 켜져 있는지 확인하라");
    SearchProbe probe{out, scanned.index, *scanned.names};
    probe.sortSection();
    probe.booleanSection();
    probe.contentSection();
    probe.pathSection(scanned.roots.front());
    probe.typingSection(queries(args));
}

} // namespace vesko::Headless
