// SPDX-License-Identifier: GPL-3.0-or-later
// bench_archive ROOT [--repeat K]: builds the index of ROOT once, then times K saves and K
// loads (median, default 5) of its archive in a temporary folder, and prints the seconds,
// the file size and the bytes per entry. The loads run with the file in the page cache,
// which is the state at a normal start shortly after the last save.
#include "BenchSupport.h"
#include "index/ArchiveFolder.h"
#include "index/IndexArchive.h"
#include "scan/IndexBuilder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace vesko::bench;

void printTimes(const char* what, const Timings& times) {
    std::printf("%s: %s\n", what, times.summary("s", 4).c_str());
}

// Removes the archive and its folder when the benchmark ends, however it ends.
struct TempFolder {
    std::string path;
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        path = std::string(base && *base ? base : "/tmp") + "/bench_archive-XXXXXX";
        if (!mkdtemp(path.data())) path.clear();
    }
    ~TempFolder() {
        if (path.empty()) return;
        ::unlink((path + "/" + vesko::IndexArchive::fileName).c_str());
        // A save cut short leaves its temporary file.
        vesko::ArchiveFolder::sweepLeftovers(path);
        ::rmdir(path.c_str());
    }
};

Timings timeSaves(const vesko::IndexBuilder::Result& built, const std::string& path, int repeat) {
    Timings times;
    for (int run = 0; run < repeat; ++run) {
        const auto began = Clock::now();
        if (const auto error = vesko::IndexArchive::save(built.index, *built.names, 0, 0, path)) {
            std::fprintf(stderr, "bench_archive: %s\n", error->c_str());
            return {};
        }
        times.add(secondsSince(began));
    }
    return times;
}

// Each loaded index is released after its time is taken, so unmapping is not counted.
struct LoadMode {
    const char* name;
    vesko::IndexArchive::Use use;
    vesko::IndexArchive::Check check;
};

using Use = vesko::IndexArchive::Use;
using Check = vesko::IndexArchive::Check;
constexpr LoadMode loadModes[] = {
    {"load (kept: leased mapping, checksum)", Use::updatable, Check::atLoad},
    {"load (search only: mapped, checksum)", Use::searchOnly, Check::atLoad},
    {"load (search only: mapped, no checksum)", Use::searchOnly, Check::byCaller},
};

Timings timeLoads(const vesko::IndexBuilder::Result& built, const std::vector<std::string>& roots,
                  const std::string& path, int repeat, const LoadMode& mode) {
    Timings times;
    for (int run = 0; run < repeat; ++run) {
        const auto began = Clock::now();
        const auto loaded = vesko::IndexArchive::load(roots, path, mode.use, mode.check);
        times.add(secondsSince(began));
        if (!loaded || loaded->index.count() != built.index.count()) {
            std::fprintf(stderr, "bench_archive: the saved archive did not load back\n");
            return {};
        }
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    int repeat = 5;
    const auto root = Options("bench_archive ROOT [--repeat K]  (K at least 1)")
                          .count("--repeat", repeat)
                          .parse(argc, argv);
    if (!root) return 2;
    const auto roots = vesko::IndexBuilder::normalize({*root});
    const auto start = Clock::now();
    auto built = vesko::IndexBuilder::build(roots, vesko::IndexBuilder::defaultWorkers(),
                                            std::make_shared<vesko::NameTable>());
    if (built.error) {
        std::fprintf(stderr, "bench_archive: the build stopped: %s\n", built.error->c_str());
        return 1;
    }
    std::printf("build: %lld entries, %lld directories, %lld unique names in %.3f s\n",
                static_cast<long long>(built.index.count()),
                static_cast<long long>(built.index.directoryCount()),
                static_cast<long long>(built.names->uniqueCount()), secondsSince(start));

    const TempFolder folder;
    if (folder.path.empty()) {
        std::fprintf(stderr, "bench_archive: cannot create a temporary folder: %s\n",
                     std::strerror(errno));
        return 1;
    }
    const std::string path = folder.path + "/" + vesko::IndexArchive::fileName;
    const auto saves = timeSaves(built, path, repeat);
    if (saves.empty()) return 1;
    std::vector<Timings> loads;
    for (const auto& mode : loadModes) {
        loads.push_back(timeLoads(built, roots, path, repeat, mode));
        if (loads.back().empty()) return 1;
    }
    struct stat status {};
    ::stat(path.c_str(), &status);
    const auto fileBytes = static_cast<std::int64_t>(status.st_size);
    const double entries = static_cast<double>(std::max<std::int64_t>(1, built.index.count()));
    printTimes("save", saves);
    for (std::size_t m = 0; m < std::size(loadModes); ++m)
        printTimes(loadModes[m].name, loads[m]);
    std::printf("file: %lld bytes, %.1f bytes per entry; index payload %.1f bytes per entry\n",
                static_cast<long long>(fileBytes), static_cast<double>(fileBytes) / entries,
                static_cast<double>(built.index.payloadBytes()) / entries);
    return 0;
}
