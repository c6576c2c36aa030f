// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a whole index (FileIndex and NameTable) to one file and loads it back at the next
// start. A checksum of the whole file guards against damage; the structure and every bound
// are checked as well, so a file is used only when both hold. A process that keeps its
// index reads the file into its own memory; one that searches once and exits may use the
// file's mapping in place.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko::IndexArchive {

inline constexpr char fileName[] = "index.veskoindex";
inline constexpr std::uint32_t version = 11; // 11: the names' block filter

// What identifies the bytes of an archive file without reading them: its size, its
// modification time and the checksum it ends in. A passed check leaves this mark on the file
// (an extended attribute); any later write changes the modification time, and a file saved
// anew is another file without the mark.
struct FileMark {
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t checksum = 0;
    bool operator==(const FileMark&) const = default;
};

struct Loaded {
    // Holds the memory (`index.archive`) that `names` reads from: keep the two together.
    FileIndex index;
    SharedNameTable names;
    std::int64_t bytes = 0;
    std::uint64_t lastEventID = 0;
    double builtAt = 0; // seconds since 1970
    // The file as it was when opened, before any byte was read.
    FileMark mark;
    // The file carries the mark of a check it passed and has not changed since, so it was
    // used without checking again (only with `Check::unlessMarked`).
    bool checked = false;
    // Its checksum was verified as it was loaded (`Check::atLoad`).
    bool checkedAtLoad = false;
};

// The archive of these normalised roots in the prepared cache folder: one file per set.
std::string urlFor(const std::vector<std::string>& roots);

// Writes a private temporary file beside `path`, flushes it to the disk and renames it over
// `path`, so the file at `path` is either the previous archive or a complete new one, also
// with several processes saving at once. The shards are read as they stand, without locks,
// up to the names published when each shard is reached. The file is marked as checked (see
// FileMark): its bytes are the ones just hashed. Returns the error (what failed,
// which path, the system's text) or nothing on success.
std::optional<std::string> save(const FileIndex& index, const NameTable& names,
                                std::uint64_t lastEventID, double builtAt, const std::string& path);

// What the caller does with a loaded index.
// `updatable`: the process keeps the index (the window, for days) and updates it. The file
// is mapped privately under a read lease (ArchiveLease), or where none can be had read into
// private memory, so another program truncating or rewriting it later cannot harm the
// process, and the checksum is verified before anything is used. The columns read that
// memory in place; a column moves into memory of its own when first written.
// `searchOnly`: the process searches and exits. The file is mapped and used in place,
// copying nothing.
// Such a process must expect SIGBUS if the file is truncated under it (ArchiveFaultGuard).
enum class Use { updatable, searchOnly };

// Whether `load` verifies the checksum itself, or leaves it to the caller, who must call
// `verify` before trusting any name or path (the bounds are checked either way, so reading
// an unverified archive is safe, only possibly wrong). `unlessMarked` is `byCaller`, except
// that a file marked by a check it passed and unchanged since is used without any check,
// neither the checksum nor the bounds (`Loaded::checked`): a search that answers in a few
// milliseconds need not read the whole file first. Only with `Use::searchOnly`.
enum class Check { atLoad, byCaller, unlessMarked };

// The archive at `path`, or nothing when it cannot be read, is not the user's own, is
// damaged, is malformed in any way that would make a later read unsafe, or was built for
// other roots. `expectingRoots` must be normalised by the caller (IndexBuilder::normalize);
// the stored roots, in directory-id order, must equal them up to canonical Unicode
// equivalence. Never reports why: every problem means "scan instead".
std::optional<Loaded> load(const std::vector<std::string>& expectingRoots, const std::string& path,
                           Use use = Use::updatable, Check check = Check::atLoad);

// True when the loaded archive's bytes match their checksum. Reads the whole file once. A
// mapped file that passes is marked, with the mark it had when it was opened.
bool verify(const Loaded& loaded);

// True while the file behind `memory` holds what it held when `mark` was taken: the same
// size, modification time and stored checksum. A search over a mapping reads the file as it
// is now, so one that another program rewrote in place after `verify` passed must not be
// believed. Memory that is no file's mapping cannot change: true.
bool unchangedSince(const MappedArchive* memory, const FileMark& mark);

// `load` over an archive already in memory, with the same checks: for tests and fuzzing,
// where a plain heap buffer lets a sanitizer catch any read past the end. `bytes` must be
// 8-byte aligned (else nothing loads) and outlive the result, whose columns point into it.
std::optional<Loaded> loadFromBytes(const std::vector<std::string>& expectingRoots,
                                    const void* bytes, std::size_t size);

// Rewrites the checksum of an archive in memory to match its bytes, so that a fuzzer's
// changes reach the structural checks. Does nothing to fewer than 8 bytes.
void seal(void* bytes, std::size_t size);

// The roots the archive at `path` was built for, in directory-id order, read from its header
// alone; nothing when the file is no archive of this version. For tools that load whatever
// archive was saved last without knowing what was scanned. The archive may still fail `load`.
std::optional<std::vector<std::string>> storedRoots(const std::string& path);

// Deletes the file; a failure is ignored.
void remove(const std::string& path);

} // namespace vesko::IndexArchive
