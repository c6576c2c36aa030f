// SPDX-License-Identifier: GPL-3.0-or-later
// How much memory this process holds, as the kernel reports it in /proc/self/status: the
// figures the diagnostic reports print next to the index's own byte counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vesko::ProcessMemory {

// Resident set size (VmRSS) in bytes, or nothing when /proc cannot be read.
std::optional<std::int64_t> residentBytes();
// Resident plus swapped-out memory (VmRSS + VmSwap): everything the process holds, whether
// or not it sits in RAM right now.
std::optional<std::int64_t> footprintBytes();

// The value in bytes of a "Key:   1234 kB" line of a status text, or nothing.
std::optional<std::int64_t> statusField(std::string_view status, std::string_view key);

// Bytes to MiB for the "%.1fMB" figures; 0 when unknown.
double mebibytes(std::optional<std::int64_t> bytes);

} // namespace vesko::ProcessMemory
