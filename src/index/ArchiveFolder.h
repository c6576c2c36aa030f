// SPDX-License-Identifier: GPL-3.0-or-later
// The cache folder that holds the index archives: one archive per set of roots, a few kept,
// and the private temporary files of saves in progress. Several processes may save into it
// at once; each writer holds a lock on its own temporary file, so a sweep removes only what
// no live writer holds.
#pragma once

#include "index/FileDescriptor.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vesko::ArchiveFolder {

// How many archives of different root sets are kept; the least recently used go first.
inline constexpr std::size_t keptArchives = 4;

// The cache folder ($XDG_CACHE_HOME/vesko, else ~/.cache/vesko), prepared on every call:
// created with mode 0700, tightened to 0700 when it exists with looser modes and belongs to
// the user, tagged with CACHEDIR.TAG so backups skip it, and swept of leftovers (temporary
// files no writer holds, archives under older names). Failures of these steps are ignored.
std::string prepare();

// The archive of these normalised roots in `folder`: the name carries a hash of the roots,
// so each set of roots has its own archive and a query of one folder never replaces the
// archive of the home folder.
std::string pathFor(const std::string& folder, const std::vector<std::string>& roots);

// Marks the archive as just used, for `keepRecent`.
void markUsed(int archiveFd);

// Removes the least recently used per-roots archives of `folder` beyond `keptArchives`,
// never one of `protectedPaths`.
void keepRecent(const std::string& folder, const std::vector<std::string>& protectedPaths);

// The per-roots archive of `folder` used last, for tools that take whatever index the user
// has without knowing which roots it covers; nothing when there is none.
std::optional<std::string> mostRecentlyUsed(const std::string& folder);

// Deletes temporary files no writer holds and archives under older names.
void sweepLeftovers(const std::string& folder);

// A temporary file beside `target`, open for writing, mode 0600, locked for as long as it is
// open so that no sweep deletes it. `path` names it until it is renamed.
struct Temporary {
    FileDescriptor fd;
    std::string path;
};

// The new temporary, or the errno of the failure.
struct Created {
    std::optional<Temporary> temporary;
    int error = 0;
};
Created createTemporary(const std::string& target);

} // namespace vesko::ArchiveFolder
