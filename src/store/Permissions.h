// SPDX-License-Identifier: GPL-3.0-or-later
// Whether Vesko can see into the user's home folder at all. Linux has no per-application
// disk permission, but a Flatpak or Snap sandbox without home access hides it; opening a few
// folders every desktop has tells the two cases apart before a scan comes back nearly empty.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesko::IndexBuilder {
struct Report;
}

namespace vesko::Permissions {

enum class Status { granted, denied, unknown };

// Relative to the home folder, tried in this order.
inline constexpr std::array<std::string_view, 3> probes{".config", ".local/share", ".cache"};

// More unreadable folders than this in one build means the scan was mostly blind.
inline constexpr std::int64_t blindThreshold = 20;

// The first probe that opens as a directory gives `granted`. Otherwise `denied` when any
// attempt failed with EPERM or EACCES, else `unknown` (for example none of them exists).
Status check();
Status check(const std::string& home);

// 0 when the folder opens read-only as a directory (it is closed at once), else the errno.
int openError(const std::string& folder);

bool looksBlind(const IndexBuilder::Report& report);

std::string_view rawText(Status status);

} // namespace vesko::Permissions
