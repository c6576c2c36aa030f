// SPDX-License-Identifier: GPL-3.0-or-later
// For a short-lived process that searches an archive through its mapping: when another
// program truncates the file (SIGBUS on the next read) or rewrites it in place (names and
// ids change under the search, which can then fault anywhere), the process says so and
// exits with a status instead of dying by a signal. A process that keeps its index reads
// the archive into its own memory instead and needs no guard.
#pragma once

#include "index/MappedArchive.h"

namespace vesko::ArchiveFaultGuard {

// From now until the process ends: a SIGBUS or SIGSEGV at an address inside the watched
// mapping, or anywhere once the watched file's size or modification time differ from what
// they were when it was mapped, writes `message` to standard error and exits with `status`.
// Any other fault keeps its default action. Call before loading, so that the load's own
// reads are guarded too. `message` must stay valid (a literal).
void install(const char* message, int status);

// Makes `mapping` the one that is watched (the archive loader calls this for each mapping
// it makes; without `install` it has no effect).
void watch(const MappedArchive& mapping);

} // namespace vesko::ArchiveFaultGuard
