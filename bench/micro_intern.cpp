// SPDX-License-Identifier: GPL-3.0-or-later
// NameTable::intern throughput (names per second): ASCII names, which take the fast path,
// and Korean and decomposed accented names, which take the Unicode path; new names into
// an empty table and names the table already holds; one thread and two threads sharing
// one table as the scan's workers do.
#include "index/NameTable.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t namesPerRun = 200'000;

enum class Kind { ascii, korean, nfdLatin };

std::string asciiName(std::size_t i) {
    static constexpr std::string_view words[] = {"readme", "Index",   "store", "swift",  "report",
                                                 "main",   "Package", "notes", "config", "test"};
    static constexpr std::string_view exts[] = {".txt", ".md", ".json", ".swift",
                                                ".cpp", ".h",  ".py"};
    return std::string(words[i % 10]) + "_" + std::to_string(i) + std::string(exts[i % 7]);
}

std::string koreanName(std::size_t i) {
    static constexpr std::string_view words[] = {"보고서", "사진", "문서", "회의록", "계약서"};
    return std::string(words[i % 5]) + " " + std::to_string(i) + ".hwp";
}

// "résumé" and "café" with combining acute accents (U+0301), as copied from other systems.
std::string nfdLatinName(std::size_t i) {
    static constexpr std::string_view words[] = {"re\xCC\x81sume\xCC\x81", "Cafe\xCC\x81",
                                                 "E\xCC\x81le\xCC\x80ve"};
    return std::string(words[i % 3]) + " " + std::to_string(i) + ".pdf";
}

// Built once per kind and only read afterwards.
const std::vector<std::string>& names(Kind kind) {
    static const auto make = [](std::string (*name)(std::size_t)) {
        std::vector<std::string> out;
        out.reserve(namesPerRun);
        for (std::size_t i = 0; i < namesPerRun; ++i)
            out.push_back(name(i));
        return out;
    };
    static const std::vector<std::string> ascii = make(asciiName);
    static const std::vector<std::string> korean = make(koreanName);
    static const std::vector<std::string> nfdLatin = make(nfdLatinName);
    switch (kind) {
    case Kind::korean:
        return korean;
    case Kind::nfdLatin:
        return nfdLatin;
    case Kind::ascii:
        break;
    }
    return ascii;
}

// Thread t of n interns every n-th name starting at t, so threads never repeat a name.
void internAll(vesko::NameTable& table, const std::vector<std::string>& list, int threads) {
    if (threads == 1) {
        for (const auto& name : list)
            benchmark::DoNotOptimize(table.intern(name));
        return;
    }
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (std::size_t i = static_cast<std::size_t>(t); i < list.size(); i += threads)
                benchmark::DoNotOptimize(table.intern(list[i]));
        });
    for (auto& worker : workers)
        worker.join();
}

// range(0): kind, range(1): threads. Each iteration fills a fresh table.
void BM_InternNew(benchmark::State& state) {
    const auto& list = names(static_cast<Kind>(state.range(0)));
    const int threads = static_cast<int>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<vesko::NameTable>();
        state.ResumeTiming();
        internAll(*table, list, threads);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}

// The same names again: lookups that find their id, as a rescan of an unchanged tree does.
void BM_InternExisting(benchmark::State& state) {
    const auto& list = names(static_cast<Kind>(state.range(0)));
    const int threads = static_cast<int>(state.range(1));
    vesko::NameTable table;
    internAll(table, list, 1);
    for (auto _ : state)
        internAll(table, list, threads);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}

void kindsAndThreads(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"kind", "threads"});
    for (int kind : {0, 1, 2})
        for (int threads : {1, 2})
            bench->Args({kind, threads});
    bench->UseRealTime()->Unit(benchmark::kMillisecond);
}

} // namespace

// kind 0 = ASCII, 1 = Korean, 2 = NFD accented Latin.
BENCHMARK(BM_InternNew)->Apply(kindsAndThreads);
BENCHMARK(BM_InternExisting)->Apply(kindsAndThreads);

BENCHMARK_MAIN();
