// SPDX-License-Identifier: GPL-3.0-or-later
// bench_scale ARCHIVE --entries N [--seed S] [--load] [--repeat K]: the figures that grow
// with the index, at any size, without a tree on disk. Without --load it builds the index of
// the generated tree straight from the generator's plan (TreeIndex), saves it to ARCHIVE and
// prints the build's peak memory against the archive's size and what each column costs an
// entry. With --load (run it as a process of its own, so that its memory is the loaded
// index's) it loads ARCHIVE as the window does, and as `--find` does for comparison, prints
// the times and the resident memory, also once the name lookup and the navigator tables the
// live updates need are built, and then types "report" one key at a time, each keystroke
// narrowing the one before and reusing what relevance worked out, as the window does. Every
// target is printed with its figure and "met" or by how much it falls short.
#include "BenchSupport.h"
#include "TreeIndex.h"
#include "index/IndexArchive.h"
#include "index/IndexNavigator.h"
#include "search/FolderNoise.h"
#include "search/Search.h"

#include <malloc.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vesko::bench;

constexpr double keystrokeTargetMs = 50; // every keystroke of "report" at ten million
constexpr double narrowedTargetMs = 20;  // from the third keystroke on
constexpr double bytesPerEntryTarget = 100;
constexpr double buildPeakTarget = 2; // times the archive
constexpr double loadTargetMs = 1000; // to a searchable index
// From the archive to the first search answered, at a million entries: the whole start
// has this much, the window's own start included.
constexpr double startTargetMs = 150;
constexpr int startTargetEntries = 1'000'000;
const char* const typing[] = {"r", "re", "rep", "repo", "repor", "report"};

struct Settings {
    std::string archive;
    int entries = 1'000'000;
    int seed = 42;
    int repeat = 7;
    bool load = false;
};

std::optional<Settings> parse(int argc, char** argv) {
    Settings settings;
    auto archive = Options("bench_scale ARCHIVE --entries N [--seed S] [--load] [--repeat K]")
                       .count("--entries", settings.entries)
                       .count("--seed", settings.seed)
                       .count("--repeat", settings.repeat)
                       .flag("--load", settings.load)
                       .parse(argc, argv);
    if (!archive) return std::nullopt;
    settings.archive = std::move(*archive);
    return settings;
}

// The root the planned index claims: no such folder exists, and none need.
std::string rootOf(const Settings& settings) {
    return "/vesko-planned-tree-" + std::to_string(settings.entries);
}

// "met", or how far the figure is from its target (a ceiling).
std::string verdict(double figure, double target, const char* unit) {
    if (figure < target) return "met";
    char text[64];
    std::snprintf(text, sizeof text, "short by %.2f%s", figure - target, unit);
    return text;
}

double mib(long long kib) {
    return static_cast<double>(kib) / 1024.0;
}

// From here on the peak counts from what is resident now (the kernel's VmHWM reset).
void resetPeakResident() {
    if (std::FILE* file = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", file);
        std::fclose(file);
    }
}

long long fileBytes(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// Bytes an entry costs in each column: the seven entry columns, the directory table shared
// out over the entries, and the name table's three parts.
void printColumns(const vesko::FileIndex& index, const vesko::NameTable& names) {
    const auto entries = static_cast<double>(index.count());
    struct Part {
        const char* what;
        double bytes;
    };
    const Part parts[] = {
        {"entry name id", 4.0 * entries},
        {"entry folder id", 4.0 * entries},
        {"entry size", 4.0 * entries},
        {"entry modified", 4.0 * entries},
        {"entry created", 4.0 * entries},
        {"entry accessed", 4.0 * entries},
        {"entry flags", 1.0 * entries},
        {"folder table (parent, name)", 8.0 * index.directoryCount()},
        {"names, folded", static_cast<double>(names.nameBytes())},
        {"names, as shown (where they differ)", static_cast<double>(names.displayBytes())},
        {"name starts", static_cast<double>(names.startsBytes())},
    };
    double total = 0;
    std::printf("\n%-38s %12s %10s\n", "column", "MB", "B/entry");
    for (const Part& part : parts) {
        total += part.bytes;
        std::printf("%-38s %12.1f %10.2f\n", part.what, part.bytes / 1e6, part.bytes / entries);
    }
    std::printf("%-38s %12.1f %10.2f\n", "all columns", total / 1e6, total / entries);
    std::printf("folders %lld, unique names %lld of %lld entries\n",
                static_cast<long long>(index.directoryCount()),
                static_cast<long long>(names.uniqueCount()), static_cast<long long>(index.count()));
}

int build(const Settings& settings) {
    vesko::TreeShape shape;
    shape.entries = settings.entries;
    shape.seed = static_cast<std::uint64_t>(settings.seed);
    // The plan stands in for the file system a scan reads: its memory is not the build's.
    const vesko::treegen::Plan plan = vesko::treegen::makePlan(shape);
    resetPeakResident();
    const long long before = residentKib();
    const auto began = Clock::now();
    auto planned = vesko::treegen::indexFromPlan(rootOf(settings), shape, plan);
    const double built = secondsSince(began);
    const long long builtPeak = peakResidentKib();
    const auto saving = Clock::now();
    if (const auto error =
            vesko::IndexArchive::save(planned.index, *planned.names, 0, 0, settings.archive)) {
        std::fprintf(stderr, "bench_scale: not saved: %s\n", error->c_str());
        return 1;
    }
    const double saved = secondsSince(saving);
    const long long peak = peakResidentKib();
    const long long archive = fileBytes(settings.archive);
    std::printf("built %lld entries from the plan in %.1f s, saved in %.2f s\n",
                static_cast<long long>(planned.index.count()), built, saved);
    const double peakBytes = static_cast<double>(peak - before) * 1024.0;
    std::printf("archive %.1f MB, %.1f B/entry\n", static_cast<double>(archive) / 1e6,
                static_cast<double>(archive) / static_cast<double>(planned.index.count()));
    const double ratio = peakBytes / static_cast<double>(archive);
    std::printf("build peak %.1f MiB above the start (%.1f MiB after the build, before the "
                "save): %.2fx the archive; target under %.0fx: %s (the scanner's own buffers "
                "are not in it)\n",
                mib(peak - before), mib(builtPeak - before), ratio, buildPeakTarget,
                verdict(ratio, buildPeakTarget, "x").c_str());
    printColumns(planned.index, *planned.names);
    return 0;
}

void printResident(const char* stage, long long kib, long long start, double entries) {
    const double bytes = static_cast<double>(kib - start) * 1024.0;
    std::printf("resident %-44s %8.1f MiB, %6.1f B/entry\n", stage, mib(kib - start),
                bytes / entries);
}

// The archive loaded as `use` asks, and the milliseconds it took, also of processor time
// (system time included: most of a load is the kernel's copying and page faults).
std::optional<vesko::IndexArchive::Loaded>
timedLoad(const Settings& settings, vesko::IndexArchive::Use use, double& ms, double& cpuMs) {
    const auto began = Clock::now();
    const double cpuBegan = threadMilliseconds();
    auto loaded = vesko::IndexArchive::load({rootOf(settings)}, settings.archive, use);
    ms = millisecondsSince(began);
    cpuMs = threadMilliseconds() - cpuBegan;
    if (!loaded)
        std::fprintf(stderr, "bench_scale: %s does not load; build it first\n",
                     settings.archive.c_str());
    return loaded;
}

// Types "report" `repeat` times, each key narrowing the one before (its names, and its hits
// where they were kept) and reusing the folder noise the first search worked out, every hit
// kept for the list, as the window's session does.
void typeReport(const Settings& settings, const vesko::IndexArchive::Loaded& loaded) {
    constexpr std::size_t steps = std::size(typing);
    std::vector<Timings> walls(steps), cpus(steps), faults(steps);
    std::vector<std::int64_t> matches(steps);
    std::shared_ptr<const vesko::FolderNoise> noise;
    for (int run = 0; run < settings.repeat; ++run) {
        std::optional<vesko::Search::Narrowing> previous;
        for (std::size_t k = 0; k < steps; ++k) {
            vesko::Search::Request request;
            request.query = typing[k];
            request.limit = 500;
            request.keepsAll = true; // the window's list holds every hit
            request.previous = previous ? &*previous : nullptr;
            request.folderNoise = noise;
            const auto keyBegan = Clock::now();
            const double cpuBegan = processMilliseconds();
            const long long faultsBefore = minorFaults();
            auto result = vesko::Search::run(request, loaded.index, *loaded.names);
            cpus[k].add(processMilliseconds() - cpuBegan);
            faults[k].add(static_cast<double>(minorFaults() - faultsBefore));
            walls[k].add(millisecondsSince(keyBegan));
            matches[k] = result.totalMatches;
            noise = result.folderNoise;
            previous.reset();
            if (result.narrowable)
                previous = vesko::Search::Narrowing{.query = vesko::Search::normalize(typing[k]),
                                                    .names = std::move(result.names),
                                                    .entries = std::move(result.entries)};
        }
    }
    std::printf("\n%-10s %9s %9s %9s %7s %8s  (median of %d, relevance, limit 500; cpu: both "
                "threads' processor time, the floor of two busy cores' wall time is half "
                "of it; faults: fresh pages)\n",
                "typing", "matches", "ms", "cpu ms", "faults", "target", settings.repeat);
    for (std::size_t k = 0; k < steps; ++k) {
        const double target = k >= 2 ? narrowedTargetMs : keystrokeTargetMs;
        const double ms = walls[k].median();
        std::printf("%-10s %9lld %9.2f %9.2f %7.0f %5.0f %s\n", typing[k],
                    static_cast<long long>(matches[k]), ms, cpus[k].median(), faults[k].median(),
                    target, verdict(ms, target, " ms").c_str());
    }
}

int load(const Settings& settings) {
    using Use = vesko::IndexArchive::Use;
    // Mapped in place first, as `--find` uses it, so that the window's load measured next
    // finds the file as warm as the window does.
    double mappedMs = 0, mappedCpuMs = 0;
    if (!timedLoad(settings, Use::searchOnly, mappedMs, mappedCpuMs)) return 1;
    const long long start = residentKib();
    double loadMs = 0, loadCpuMs = 0;
    auto loaded = timedLoad(settings, Use::updatable, loadMs, loadCpuMs);
    if (!loaded) return 1;
    const auto entries = static_cast<double>(loaded->index.count());
    std::printf(
        "load from the archive, leased private mapping, checksum checked (the window): %.0f ms "
        "(%.0f ms processor); target to a searchable window under %.0f ms: %s\n",
        loadMs, loadCpuMs, loadTargetMs, verdict(loadMs, loadTargetMs, " ms").c_str());
    std::printf("load from the archive, mapped in place, checksum checked (--find): %.0f ms "
                "(%.0f ms processor)\n",
                mappedMs, mappedCpuMs);
    if (loaded->index.count() == startTargetEntries) {
        // The window is searchable once the archive is loaded; its first search then works
        // out the folder noise for itself.
        std::printf("start from the archive, its share: %.0f ms; target for the whole start to "
                    "the first search ready under %.0f ms: %s (the window's own start comes "
                    "on top: VESKO_TRACE_STARTUP)\n",
                    loadMs, startTargetMs, verdict(loadMs, startTargetMs, " ms").c_str());
        vesko::Search::Request first;
        first.query = typing[0];
        const auto began = Clock::now();
        vesko::Search::run(first, loaded->index, *loaded->names);
        std::printf("the first search after it (\"%s\", folder noise worked out): %.0f ms\n",
                    typing[0], millisecondsSince(began));
    }
    std::printf("resident memory above the process's start (the window adds its own):\n");
    printResident("with the index loaded", residentKib(), start, entries);
    loaded->names->rebuildIndexIfNeeded();
    printResident("and the name lookup (for live updates)", residentKib(), start, entries);
    vesko::IndexNavigator navigator;
    navigator.build(loaded->index);
    const long long all = residentKib();
    printResident("and the navigator tables (for live updates)", all, start, entries);
    const double perEntry = static_cast<double>(all - start) * 1024.0 / entries;
    std::printf("target: %.0f B/entry everything included: %s (before the window's own)\n",
                bytesPerEntryTarget, verdict(perEntry, bytesPerEntryTarget, " B/entry").c_str());
    typeReport(settings, *loaded);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const auto settings = parse(argc, argv);
    if (!settings) return 2;
    printLoad();
    std::printf("planned tree of %d entries, seed %d; archive %s\n", settings->entries,
                settings->seed, settings->archive.c_str());
    return settings->load ? load(*settings) : build(*settings);
}
