// SPDX-License-Identifier: GPL-3.0-or-later
// --bench and --drift: search timings at growing result limits over the saved archive, and
// the rebuild-when-stale rule run against the real preferences file.
#include "app/Headless.h"
#include "app/ReportOutput.h"
#include "index/ArchiveFolder.h"

#include "scan/IndexBuilder.h"
#include "search/Search.h"
#include "store/LastFullScan.h"
#include "store/LoginItem.h"
#include "store/Settings.h"

#include <chrono>
#include <unistd.h>

namespace vesko::Headless {
namespace {

using Report::format;
using Report::left;
using Report::milliseconds;
using Report::right;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct BenchRow {
    std::int64_t matches = 0;
    double searchMs = 0; // scanning, filtering and top-k sorting
    double rowsMs = 0;   // the directory path and display name of every hit
};

BenchRow benchOne(const IndexArchive::Loaded& loaded, const std::string& query,
                  std::int64_t limit) {
    Search::Request request;
    request.query = query;
    request.limit = limit;
    auto start = std::chrono::steady_clock::now();
    const Search::Result result = Search::run(request, loaded.index, *loaded.names);
    BenchRow row{result.totalMatches, milliseconds(secondsSince(start)), 0};
    start = std::chrono::steady_clock::now();
    std::vector<std::pair<std::string, std::string>> rows;
    rows.reserve(result.hits.size());
    for (const Search::Hit& hit : result.hits) {
        const auto entry = static_cast<std::size_t>(hit.entry);
        rows.emplace_back(loaded.index.pathOfDirectory(loaded.index.entryDir[entry], *loaded.names),
                          loaded.names->display(loaded.index.entryName[entry]));
    }
    row.rowsMs = milliseconds(secondsSince(start));
    return row;
}

} // namespace

const char* benchVerdict(double ms) {
    if (ms <= 50.0) return "✅";
    if (ms <= 200.0) return "⚠️";
    return "🔴";
}

std::string absoluteFolder(const std::string& path) {
    std::string absolute = path;
    if (!absolute.starts_with('/')) {
        std::string cwd(4096, '\0');
        if (::getcwd(cwd.data(), cwd.size())) absolute = std::string(cwd.c_str()) + "/" + path;
    }
    return IndexBuilder::normalize({absolute}).front();
}

std::optional<IndexArchive::Loaded> loadSavedArchive() {
    const auto recent = ArchiveFolder::mostRecentlyUsed(ArchiveFolder::prepare());
    if (!recent) return std::nullopt;
    const std::string& path = *recent;
    const auto roots = IndexArchive::storedRoots(path);
    if (!roots) return std::nullopt;
    return IndexArchive::load(*roots, path);
}

int bench(const std::optional<std::string>& out) {
    ReportOutput report(out);
    auto loaded = loadSavedArchive();
    if (!loaded) {
        report.line("❌ 덤프가 없다. 먼저 --scan --archive");
        return statusUsage;
    }
    loaded->names->rebuildIndexIfNeeded();
    report.line(format("항목 %lld개 · 목표 %.0fms", static_cast<long long>(loaded->index.count()),
                       targetMilliseconds));
    report.line("");
    report.line("질의        상한      결과 수   ⓵ 훑기+정렬   ⓶ 행 만들기      합계");
    std::string rule;
    for (int i = 0; i < 72; ++i)
        rule += "─";
    report.line(rule);
    for (const std::string& query : benchQueries) {
        for (const std::int64_t limit : benchLimits) {
            const BenchRow row = benchOne(*loaded, query, limit);
            const double sum = row.searchMs + row.rowsMs;
            report.line(left(query, 10) + " " + right(std::to_string(limit), 7) + " " +
                        right(std::to_string(row.matches), 11) +
                        format(" %10.1fms %13.1fms %8.1fms ", row.searchMs, row.rowsMs, sum) +
                        benchVerdict(sum));
        }
        report.line("");
    }
    return statusPassed;
}

// Reads the stored time and checks the rule on made-up ones; it writes nothing, since a
// changed time would postpone or bring forward the real rebuild.
void driftTest(const std::optional<std::string>& out) {
    ReportOutput report(out);
    const Settings settings;
    const double now = LastFullScan::now();
    const double stored = LastFullScan::read(settings);
    const double storedAge = LastFullScan::age(stored, now);
    if (stored == LastFullScan::distantPast)
        report.line("마지막 전체 검사: 기록 없음 → 재검사 대상");
    else
        report.line(format("마지막 전체 검사: %.0f초 전 (%.1f일) → %s", storedAge,
                           storedAge / 86400.0,
                           LastFullScan::isDue(storedAge) ? "재검사 대상" : "아직 아님"));
    report.line(
        format("규칙 확인 (하루 %.0f초 기준, 설정은 바꾸지 않음)", LastFullScan::maximumAge));
    const double ancient = LastFullScan::age(LastFullScan::distantPast, now);
    report.line(format("  아주 옛날 → 경과 %.0f일 → %s", ancient / 86400.0,
                       LastFullScan::isDue(ancient) ? "재검사 대상 ✅" : "재검사 대상 ❌"));
    const double fresh = LastFullScan::age(now, now);
    report.line(format("  방금 → 경과 %.0f초 → %s", fresh,
                       LastFullScan::isDue(fresh) ? "재검사 대상 ❌" : "아님 ✅"));
    report.line("");
    report.line("로그인 항목 상태: " + std::string(LoginItem::rawText(LoginItem::state())));
}

} // namespace vesko::Headless
