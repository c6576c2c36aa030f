// SPDX-License-Identifier: MIT
// bench_scan ROOT [--workers N] [--repeat K]: times IndexBuilder::build over ROOT and prints
// one line per run with the counts, the seconds, the index payload per entry and the
// process's resident size while the built index is held. Compare with bare_walk on the
// same tree and cache state to see what interning and collecting cost above the calls.
#include "scan/IndexBuilder.h"

#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string root;
    int workers = vesko::IndexBuilder::defaultWorkers();
    int repeat = 1;
};

std::optional<int> positive(const char* text) {
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [last, error] = std::from_chars(text, end, value);
    if (error != std::errc() || last != end || value < 1) return std::nullopt;
    return value;
}

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--workers" || arg == "--repeat") && i + 1 < argc) {
            const auto value = positive(argv[++i]);
            if (!value) return std::nullopt;
            (arg == "--workers" ? options.workers : options.repeat) = *value;
        } else if (!arg.starts_with("--") && options.root.empty()) {
            options.root = arg;
        } else {
            return std::nullopt;
        }
    }
    if (options.root.empty()) return std::nullopt;
    return options;
}

// VmRSS in KiB, or -1 when /proc is not readable.
long long residentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmRSS:")) return std::atoll(line.c_str() + 6);
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: bench_scan ROOT [--workers N] [--repeat K]  (N, K at least 1)\n");
        return 2;
    }
    std::vector<double> seconds;
    for (int run = 0; run < options->repeat; ++run) {
        malloc_trim(0); // hand back what the previous run freed, so VmRSS is this run's
        const auto result = vesko::IndexBuilder::build({options->root}, options->workers,
                                                       std::make_shared<vesko::NameTable>());
        if (result.error) {
            std::fprintf(stderr, "bench_scan: the build stopped: %s\n", result.error->c_str());
            return 1;
        }
        const auto& r = result.report;
        const double perEntry =
            r.entries ? static_cast<double>(r.payloadBytes) / static_cast<double>(r.entries) : 0;
        std::printf(
            "entries %lld directories %lld unique %lld denied %lld syscalls %lld workers %d "
            "seconds %.3f payload_per_entry %.1f rss_kib %lld\n",
            static_cast<long long>(r.entries), static_cast<long long>(r.directories),
            static_cast<long long>(r.uniqueNames), static_cast<long long>(r.deniedDirectories),
            static_cast<long long>(r.syscalls), options->workers, r.duration, perEntry,
            residentKib());
        seconds.push_back(r.duration);
    }
    if (seconds.size() > 1) {
        std::sort(seconds.begin(), seconds.end());
        std::printf("best %.3f median %.3f seconds over %zu runs\n", seconds.front(),
                    seconds[seconds.size() / 2], seconds.size());
    }
    return 0;
}
