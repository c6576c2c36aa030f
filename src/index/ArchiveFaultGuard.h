// SPDX-License-Identifier: MIT
// For a short-lived process that searches an archive through its mapping: when another
// program truncates the file (SIGBUS on the next read) or rewrites it in place (names and
// ids change under the search, which can then fault anywhere), the process says so and
// exits with a status instead of dying by a signal. A process that keeps its index reads
// the archive into its own memory instead and needs no guard.
#pragma once

#include "index/MappedArchive.h"

namespace vesko::ArchiveFaultGuard {

// From now until the process ends: a SIGBUS or SIGSEGV at an address inside `mapping`, or
// anywhere once the mapped file's size or modification time differ from what they are now,
// writes `message` to standard error and exits with `status`. Any other fault keeps its
// default action. One mapping at a time; a later call replaces the earlier one. `message`
// must stay valid (a literal).
void arm(const MappedArchive& mapping, const char* message, int status);

} // namespace vesko::ArchiveFaultGuard
