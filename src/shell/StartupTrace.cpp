// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/StartupTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace vesko::StartupTrace {
namespace {

bool enabled() {
    static const bool on = [] {
        const char* value = std::getenv("VESKO_TRACE_STARTUP");
        return value && std::strcmp(value, "1") == 0;
    }();
    return on;
}

double bootSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The kernel's record of when exec happened, in seconds since boot (clock-tick precision,
// 10 ms on most kernels). Field 22 of /proc/self/stat, counted after the command's ")".
double processStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return bootSeconds();
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field;)
        ++i;
    unsigned long long ticks = 0;
    if (!(fields >> ticks)) return bootSeconds();
    return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace

void mark(const char* stage) {
    if (!enabled()) return;
    static const double start = processStart();
    static std::set<std::string> seen;
    if (!seen.insert(stage).second) return;
    std::fprintf(stderr, "vesko: startup %8.1f ms  %s\n", (bootSeconds() - start) * 1000.0, stage);
}

} // namespace vesko::StartupTrace
