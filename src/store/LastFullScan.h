// SPDX-License-Identifier: GPL-3.0-or-later
// When the last full scan finished, kept in the preferences as seconds since 1970, and the
// rule that decides when the index has drifted long enough to be rebuilt.
#pragma once

#include "store/Settings.h"

namespace vesko::LastFullScan {

inline constexpr char key[] = "lastFullScan";
// Longer than this since the last full scan, and the index is due for a rebuild.
inline constexpr double maximumAge = 86400.0;
// What an absent or unreadable value reads as: the first day of year 1, so that any index
// without a recorded scan counts as due.
inline constexpr double distantPast = -62135596800.0;

double read(const Settings& settings);
void write(Settings& settings, double secondsSince1970);

double now();
// Seconds from `lastScan` until `at`.
inline double age(double lastScan, double at) {
    return at - lastScan;
}
inline bool isDue(double ageSeconds) {
    return ageSeconds > maximumAge;
}

} // namespace vesko::LastFullScan
