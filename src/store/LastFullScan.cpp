// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LastFullScan.h"

#include <chrono>

namespace vesko::LastFullScan {

double read(const Settings& settings) {
    return settings.real(key, distantPast);
}

void write(Settings& settings, double secondsSince1970) {
    settings.setReal(key, secondsSince1970);
}

double now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace vesko::LastFullScan
