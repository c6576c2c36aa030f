// SPDX-License-Identifier: GPL-3.0-or-later
// bench_scan ROOT [--workers N] [--repeat K]: times IndexBuilder::build over ROOT and prints
// one line per run with the counts, the seconds, the index payload per entry and the
// process's resident size while the built index is held, with its peak. Compare with
// bare_walk on the same tree and cache state to see what interning and collecting cost
// above the calls.
#include "BenchSupport.h"
#include "scan/IndexBuilder.h"

#include <malloc.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    using namespace vesko::bench;
    int workers = vesko::IndexBuilder::defaultWorkers();
    int repeat = 1;
    const auto root = Options("bench_scan ROOT [--workers N] [--repeat K]  (N, K at least 1)")
                          .count("--workers", workers)
                          .count("--repeat", repeat)
                          .parse(argc, argv);
    if (!root) return 2;
    Timings seconds;
    for (int run = 0; run < repeat; ++run) {
        malloc_trim(0); // hand back what the previous run freed, so VmRSS is this run's
        const auto result =
            vesko::IndexBuilder::build({*root}, workers, std::make_shared<vesko::NameTable>());
        if (result.error) {
            std::fprintf(stderr, "bench_scan: the build stopped: %s\n", result.error->c_str());
            return 1;
        }
        const auto& r = result.report;
        const double perEntry =
            r.entries ? static_cast<double>(r.payloadBytes) / static_cast<double>(r.entries) : 0;
        std::printf(
            "entries %lld directories %lld unique %lld denied %lld syscalls %lld workers %d "
            "seconds %.3f payload_per_entry %.1f rss_kib %lld peak_kib %lld\n",
            static_cast<long long>(r.entries), static_cast<long long>(r.directories),
            static_cast<long long>(r.uniqueNames), static_cast<long long>(r.deniedDirectories),
            static_cast<long long>(r.syscalls), workers, r.duration, perEntry, residentKib(),
            peakResidentKib());
        seconds.add(r.duration);
    }
    if (seconds.size() > 1) std::printf("%s\n", seconds.summary("s", 3).c_str());
    return 0;
}
