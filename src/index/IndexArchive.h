// SPDX-License-Identifier: MIT
// Saves a whole index (FileIndex and NameTable) to one file and maps it back at the next
// start. The name table and the entries' name and directory columns are used in place from
// the mapping; only the columns the updater rewrites are copied. No checksum: a file is
// trusted once its structure and every bound check out, and otherwise simply not used.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko::IndexArchive {

inline constexpr char fileName[] = "index.veskoindex";
inline constexpr std::uint32_t version = 8;

struct Loaded {
    // Holds the mapping (`index.archive`) that `names` reads from: keep the two together.
    FileIndex index;
    SharedNameTable names;
    std::int64_t bytes = 0;
    std::uint64_t lastEventID = 0;
    double builtAt = 0; // seconds since 1970
};

// The archive path in the cache folder ($XDG_CACHE_HOME/vesko, else ~/.cache/vesko). On
// every call: creates the folder (mode 0700), tags it with CACHEDIR.TAG so backups skip it,
// and deletes leftovers (".tmp" files, archives under older names). Failures of these
// steps are ignored; the path is returned regardless.
std::string defaultURL();

// Writes to `path` + ".tmp" (mode 0600) and renames it over `path`, so the file at `path`
// is either the previous archive or the complete new one. The shards are read as they
// stand, without locks, up to the names published when each shard is reached. Returns the
// error (what failed, which path, the system's text) or nothing on success.
std::optional<std::string> save(const FileIndex& index, const NameTable& names,
                                std::uint64_t lastEventID, double builtAt, const std::string& path);

// The archive at `path`, or nothing when it cannot be read, is malformed in any way that
// would make a later read unsafe, or was built for other roots. `expectingRoots` must be
// normalised by the caller (IndexBuilder::normalize, as for a build) since the scan layer
// sits above this one; the stored roots, in directory-id order, must equal them up to
// canonical Unicode equivalence. Never reports why: every problem means "scan instead".
// What the caller does with a loaded index. `updatable` copies the five entry columns the
// updater rewrites in place (flags, size, three dates) into owned memory; `searchOnly`
// leaves them in the mapping as well, which saves copying and faulting 17 bytes per entry
// for a process that loads, searches and exits. Appending to the entries still works;
// `Column::set` on a mapped element does not, so such an index must never be updated.
enum class Use { updatable, searchOnly };

std::optional<Loaded> load(const std::vector<std::string>& expectingRoots, const std::string& path,
                           Use use = Use::updatable);

// `load` over an archive already in memory, with the same checks: for tests and fuzzing,
// where a plain heap buffer lets a sanitizer catch any read past the end. `bytes` must be
// 8-byte aligned (else nothing loads) and outlive the result, whose columns point into it;
// the result holds no mapping.
std::optional<Loaded> loadFromBytes(const std::vector<std::string>& expectingRoots,
                                    const void* bytes, std::size_t size);

// The roots the archive at `path` was built for, in directory-id order, read from its header
// alone; nothing when the file is no archive of this version. For tools that load whatever
// archive was saved last without knowing what was scanned. The archive may still fail `load`.
std::optional<std::vector<std::string>> storedRoots(const std::string& path);

// Deletes the file; a failure is ignored.
void remove(const std::string& path);

} // namespace vesko::IndexArchive
