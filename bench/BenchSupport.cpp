// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchSupport.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace vesko::bench {

double secondsSince(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double millisecondsSince(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

namespace {
double cpuMilliseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}
} // namespace

double threadMilliseconds() {
    return cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
}

double processMilliseconds() {
    return cpuMilliseconds(CLOCK_PROCESS_CPUTIME_ID);
}

Options& Options::count(std::string name, int& value) {
    declared_.push_back({std::move(name), Kind::count, &value});
    return *this;
}

Options& Options::text(std::string name, std::string& value) {
    declared_.push_back({std::move(name), Kind::text, &value});
    return *this;
}

Options& Options::flag(std::string name, bool& value) {
    declared_.push_back({std::move(name), Kind::flag, &value});
    return *this;
}

bool Options::set(const Declared& option, const char* text) const {
    if (option.kind == Kind::text) {
        *static_cast<std::string*>(option.value) = text;
        return true;
    }
    int number = 0;
    const char* end = text + std::strlen(text);
    const auto [last, error] = std::from_chars(text, end, number);
    if (error != std::errc() || last != end || number < 1) return false;
    *static_cast<int*>(option.value) = number;
    return true;
}

std::optional<std::string> Options::parse(int argc, char** argv) const {
    std::string root;
    bool ok = true;
    for (int i = 1; ok && i < argc; ++i) {
        const std::string arg = argv[i];
        const auto option = std::find_if(declared_.begin(), declared_.end(),
                                         [&](const Declared& d) { return d.name == arg; });
        if (option == declared_.end()) {
            ok = !arg.starts_with("--") && root.empty();
            root = arg;
        } else if (option->kind == Kind::flag) {
            *static_cast<bool*>(option->value) = true;
        } else {
            ok = i + 1 < argc && set(*option, argv[++i]);
        }
    }
    if (ok && !root.empty()) return root;
    std::fprintf(stderr, "usage: %s\n", usage_.c_str());
    return std::nullopt;
}

double Timings::median() const {
    if (values_.empty()) return 0;
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

double Timings::best() const {
    return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end());
}

double Timings::worst() const {
    return values_.empty() ? 0 : *std::max_element(values_.begin(), values_.end());
}

std::string Timings::summary(const char* unit, int decimals) const {
    char line[160];
    std::snprintf(line, sizeof line, "median %.*f %s, best %.*f, worst %.*f of %zu runs", decimals,
                  median(), unit, decimals, best(), decimals, worst(), size());
    return line;
}

void printLoad() {
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f (1, 5, 15 min)\n", load[0], load[1], load[2]);
}

namespace {

long long statusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::size_t length = std::strlen(field);
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::atoll(line.c_str() + length);
    return -1;
}

} // namespace

long long residentKib() {
    return statusKib("VmRSS:");
}

long long minorFaults() {
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_minflt : -1;
}

long long peakResidentKib() {
    return statusKib("VmHWM:");
}

} // namespace vesko::bench
