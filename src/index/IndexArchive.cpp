// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/IndexArchive.h"

#include "index/ArchiveFaultGuard.h"
#include "index/ArchiveFolder.h"
#include "index/ArchiveLease.h"
#include "index/FileDescriptor.h"
#include "index/Unicode.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

namespace vesko::IndexArchive {
namespace {

// Columns are mapped in place, so the file's byte order must be the machine's.
static_assert(std::endian::native == std::endian::little);

constexpr char magic[8] = {'V', 'E', 'S', 'K', 'O', 'I', 'D', 'X'};
constexpr std::uint32_t storedShardCount = 32;
constexpr std::size_t initialBufferBytes = 1 << 20;
constexpr std::size_t flushThreshold = 4 << 20;
// The file ends in the XXH3-64 hash of every byte before it.
constexpr std::size_t checksumBytes = 8;
// Before it, the offset of the names' block filter, which comes last so that a process
// that keeps its index can leave it unread.
constexpr std::size_t filterOffsetBytes = 8;
constexpr std::size_t headerBytes = 28;
// Shorter files cannot hold a header, the filter's offset and a checksum and are refused
// without reading.
constexpr std::int64_t minimumFileBytes = headerBytes + filterOffsetBytes + checksumBytes;

static_assert(storedShardCount == NameTable::shardCount);

std::string failure(const char* action, const std::string& path, int error) {
    return "could not " + std::string(action) + " \"" + path +
           "\": " + std::system_category().message(error);
}

// Small fields go through a buffer; column runs go straight from their memory to the file
// after a flush, so a save never holds a second copy of a large column. Every byte written
// is hashed on its way out, and `finish` appends the hash. The first error sticks and turns
// every later call into a no-op.
class Writer {
public:
    explicit Writer(int fd) : fd_(fd) {
        buffer_.reserve(initialBufferBytes);
        XXH3_64bits_reset(&hash_);
    }

    int error() const { return error_; }
    void fail(int error) {
        if (!error_) error_ = error;
    }
    std::uint64_t position() const { return written_ + buffer_.size(); }

    void bytes(const void* data, std::size_t n) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + n);
    }
    template <class T> void value(T v) { bytes(&v, sizeof v); }
    void padToEight() { buffer_.resize(buffer_.size() + (-position() & 7), 0); }

    void append(std::span<const std::byte> run) {
        if (run.empty()) return;
        flush();
        write(run.data(), run.size());
    }
    void flushIfFull() {
        if (buffer_.size() >= flushThreshold) flush();
    }
    void flush() {
        if (buffer_.empty()) return;
        write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    void finish() {
        flush();
        const std::uint64_t checksum = XXH3_64bits_digest(&hash_);
        if (!error_) fail(writeAll(fd_, &checksum, sizeof checksum));
    }

private:
    void write(const void* data, std::size_t n) {
        written_ += n;
        XXH3_64bits_update(&hash_, data, n);
        if (!error_) fail(writeAll(fd_, data, n));
    }

    int fd_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t written_ = 0;
    int error_ = 0;
    XXH3_state_t hash_;
};

// One column block holding the first `count` elements: count, padding to the next multiple
// of 8, then the mapped run and the appended run back to back.
template <class T> void writeBlock(Writer& writer, const Column<T>& column, std::size_t count) {
    count = std::min(count, column.count());
    if (count > UINT32_MAX) return writer.fail(EOVERFLOW);
    writer.value(static_cast<std::uint32_t>(count));
    writer.padToEight();
    column.withParts([&](std::span<const std::byte> mapped, std::span<const std::byte> extra) {
        std::size_t remaining = count * sizeof(T);
        const auto head = mapped.first(std::min(remaining, mapped.size()));
        writer.append(head);
        remaining -= head.size();
        writer.append(extra.first(std::min(remaining, extra.size())));
    });
    writer.flushIfFull();
}

template <class T> void writeBlock(Writer& writer, const Column<T>& column) {
    writeBlock(writer, column, column.count());
}

void writeHeader(Writer& writer, std::uint64_t lastEventID, double builtAt) {
    writer.bytes(magic, sizeof magic);
    writer.value(version);
    writer.value(lastEventID);
    std::uint64_t seconds = 0; // also for NaN and times before 1970
    if (builtAt >= 18446744073709551616.0)
        seconds = UINT64_MAX;
    else if (builtAt > 0)
        seconds = static_cast<std::uint64_t>(builtAt);
    writer.value(seconds);
}

void writeRoots(Writer& writer, const std::map<std::uint32_t, std::string>& roots) {
    if (roots.size() > UINT32_MAX) return writer.fail(EOVERFLOW);
    writer.value(static_cast<std::uint32_t>(roots.size()));
    for (const auto& [id, path] : roots) { // a map iterates in ascending id order
        if (path.size() > UINT32_MAX) return writer.fail(EOVERFLOW);
        writer.value(id);
        writer.value(static_cast<std::uint32_t>(path.size()));
        writer.bytes(path.data(), path.size());
        writer.flushIfFull();
    }
}

using NameCounts = NameBlockFilter::Counts;

// Another thread may be interning into the shards. The offsets are published last, so the
// length of each shard's `starts`, taken once before anything is written, bounds a
// consistent snapshot of its four columns and of the block filter.
NameCounts publishedNames(const NameTable& names) {
    NameCounts counts{};
    for (std::size_t s = 0; s < storedShardCount; ++s)
        counts[s] = names.shard(s).nameCount();
    return counts;
}

void writeShard(Writer& writer, const NameTable::Shard& shard, std::uint32_t names) {
    writeBlock(writer, shard.bytes(), shard.starts()[names]);
    writeBlock(writer, shard.starts(), std::size_t{names} + 1);
    writeBlock(writer, shard.display(), shard.displayStarts()[names]);
    writeBlock(writer, shard.displayStarts(), std::size_t{names} + 1);
}

void writeBlockFilter(Writer& writer, const NameTable& names, const NameCounts& counts) {
    const NameBlockFilter::Built filter = NameBlockFilter::build(names, counts);
    if (filter.bits.size() > UINT32_MAX) return writer.fail(EOVERFLOW);
    writer.value(filter.bucketsLog2);
    writer.value(static_cast<std::uint32_t>(filter.bits.size()));
    writer.padToEight();
    writer.append(std::as_bytes(std::span(filter.bits)));
}

int writeArchive(int fd, const FileIndex& index, const NameTable& names, std::uint64_t lastEventID,
                 double builtAt) {
    if (names.shardsCount() != storedShardCount) return EINVAL;
    for (std::size_t s = 0; s < storedShardCount; ++s)
        if (names.shard(s).starts().count() == 0) return EINVAL;
    const NameCounts counts = publishedNames(names);
    Writer writer(fd);
    writeHeader(writer, lastEventID, builtAt);
    writeRoots(writer, index.rootPaths);
    writer.value(storedShardCount);
    for (std::size_t s = 0; s < storedShardCount; ++s)
        writeShard(writer, names.shard(s), counts[s]);
    writeBlock(writer, index.dirParent);
    writeBlock(writer, index.dirName);
    writeBlock(writer, index.entryName);
    writeBlock(writer, index.entryDir);
    writeBlock(writer, index.entryFlags);
    writeBlock(writer, index.entrySize);
    writeBlock(writer, index.entryModified);
    writeBlock(writer, index.entryCreated);
    writeBlock(writer, index.entryAccessed);
    const std::uint64_t filterAt = writer.position();
    writeBlockFilter(writer, names, counts);
    writer.value(filterAt);
    writer.finish();
    return writer.error();
}

// A cursor over the mapping. Every read is checked against the size; the first read that
// would pass the end marks the reader failed and every later read yields zero or empty.
// Given the mapped file, single values are read from the file rather than the mapping: the
// block counts lie far apart, and a page fault for each costs more than the read.
class Reader {
public:
    Reader(const std::uint8_t* base, std::uint64_t size, int file = -1)
        : base_(base), size_(size), file_(file) {}

    bool failed() const { return failed_; }
    std::uint64_t offset() const { return offset_; }
    const std::uint8_t* take(std::uint64_t n) {
        if (failed_ || n > size_ - offset_) {
            failed_ = true;
            return nullptr;
        }
        const std::uint8_t* p = base_ + offset_;
        offset_ += n;
        return p;
    }
    template <class T> T value() {
        T v{};
        const std::uint64_t at = offset_;
        const std::uint8_t* p = take(sizeof v);
        if (!p) return v;
        if (file_ < 0 || ::pread(file_, &v, sizeof v, static_cast<off_t>(at)) != sizeof v)
            std::memcpy(&v, p, sizeof v);
        return v;
    }
    // The mapping starts on a page boundary, so padding to an absolute file offset of 8
    // also aligns the elements in memory.
    template <class T> std::span<const T> block() {
        const std::uint64_t count = value<std::uint32_t>();
        take(-offset_ & 7);
        const std::uint8_t* p = take(count * sizeof(T));
        if (!p) return {};
        return {reinterpret_cast<const T*>(p), static_cast<std::size_t>(count)};
    }

private:
    const std::uint8_t* base_;
    std::uint64_t size_;
    int file_;
    std::uint64_t offset_ = 0;
    bool failed_ = false;
};

std::optional<std::map<std::uint32_t, std::string>> readRoots(Reader& reader) {
    std::map<std::uint32_t, std::string> roots;
    const std::uint32_t count = reader.value<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && !reader.failed(); ++i) {
        const auto id = reader.value<std::uint32_t>();
        const auto length = reader.value<std::uint32_t>();
        const std::uint8_t* p = reader.take(length);
        if (p) roots[id] = Unicode::repairUtf8({reinterpret_cast<const char*>(p), length});
    }
    if (reader.failed()) return std::nullopt;
    return roots;
}

bool rootsMatch(const std::map<std::uint32_t, std::string>& stored,
                const std::vector<std::string>& expected) {
    if (stored.size() != expected.size()) return false;
    auto want = expected.begin();
    for (const auto& [id, path] : stored)
        if (!Unicode::canonicallyEqual(path, *want++)) return false;
    return true;
}

// The 32 shards as mapped columns, each checked so that every offset stays inside its
// bytes; `counts` receives each shard's number of names.
std::optional<std::vector<NameTable::RestoredShard>> readShards(Reader& reader, NameCounts& counts,
                                                                bool trusted) {
    if (reader.value<std::uint32_t>() != storedShardCount || reader.failed()) return std::nullopt;
    std::vector<NameTable::RestoredShard> shards(storedShardCount);
    for (std::size_t s = 0; s < storedShardCount; ++s) {
        NameTable::RestoredShard& shard = shards[s];
        shard.bytes = Column<std::uint8_t>(reader.block<std::uint8_t>());
        shard.starts = Column<std::uint32_t>(reader.block<std::uint32_t>());
        shard.display = Column<std::uint8_t>(reader.block<std::uint8_t>());
        shard.displayStarts = Column<std::uint32_t>(reader.block<std::uint32_t>());
        if (reader.failed() || (!trusted && !NameTable::checkRestored(shard).empty()))
            return std::nullopt;
        counts[s] = static_cast<std::uint32_t>(shard.starts.count() - 1);
    }
    return shards;
}

// The names' block filter, checked against the names it covers: a bucket count a save
// writes and the length that count and the names give. Only a process that searches the
// file in place keeps it; one that keeps its index updates the names without it.
bool readBlockFilter(Reader& reader, const NameCounts& counts, const MappedArchive* archive,
                     Use use, std::optional<NameBlockFilter>& filter) {
    const auto bucketsLog2 = reader.value<std::uint32_t>();
    const auto bits = reader.block<std::uint64_t>();
    if (reader.failed() || bucketsLog2 < NameBlockFilter::fewestBucketsLog2 ||
        bucketsLog2 > NameBlockFilter::mostBucketsLog2 ||
        bits.size() != NameBlockFilter::wordCount(bucketsLog2, counts))
        return false;
    if (use == Use::searchOnly) filter.emplace(bucketsLog2, counts, bits, archive);
    return true;
}

// The nine file-index blocks, read in place: a process that keeps its index reads them from
// its private copy of the file, and a column the updater rewrites moves into memory of its own
// on the first write (Column::set), away from the start.
FileIndex readColumns(Reader& reader) {
    FileIndex index;
    index.dirParent = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.dirName = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryName = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryDir = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryFlags = Column<std::uint8_t>(reader.block<std::uint8_t>());
    index.entrySize = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryModified = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryCreated = Column<std::uint32_t>(reader.block<std::uint32_t>());
    index.entryAccessed = Column<std::uint32_t>(reader.block<std::uint32_t>());
    return index;
}

// Each is one branch-free pass over contiguous memory: a million ids take about a
// millisecond, so every loaded id can be checked.
bool allBelow(const Column<std::uint32_t>& ids, std::uint32_t bound) {
    bool ok = true;
    ids.forEachRegion([&](const std::uint32_t* p, std::size_t, std::size_t n) {
        std::uint32_t largest = 0;
        for (std::size_t i = 0; i < n; ++i)
            largest = std::max(largest, p[i]);
        ok &= largest < bound;
    });
    return ok;
}

bool allNamed(const Column<std::uint32_t>& ids, const NameCounts& counts) {
    bool ok = true;
    ids.forEachRegion([&](const std::uint32_t* p, std::size_t, std::size_t n) {
        std::uint32_t bad = 0;
        for (std::size_t i = 0; i < n; ++i)
            bad |= (p[i] >> 5) >= counts[p[i] & 31];
        ok &= bad == 0;
    });
    return ok;
}

// True when every directory's parent has a smaller id or is the directory itself (a root).
// The builder and the updater only ever append a folder after its parent; the search's
// single forward pass over directories relies on that, and it makes every parent chain
// descend to a root, so no path walk can loop.
bool parentsComeFirst(const std::uint32_t* parent, std::uint32_t count) {
    bool later = false;
    for (std::uint32_t d = 0; d < count; ++d)
        later |= parent[d] > d;
    return !later;
}

// Everything a later read relies on without checking: equal column lengths, ids that name
// existing directories and names, parents before children, roots that are roots.
bool isSound(const FileIndex& index, const NameCounts& names) {
    if (index.dirParent.count() != index.dirName.count()) return false;
    const std::size_t n = index.entryName.count();
    if (index.entryDir.count() != n || index.entryFlags.count() != n ||
        index.entrySize.count() != n || index.entryModified.count() != n ||
        index.entryCreated.count() != n || index.entryAccessed.count() != n)
        return false;
    const std::uint32_t directories = index.directoryCount();
    if (!allBelow(index.dirParent, directories) || !allBelow(index.entryDir, directories) ||
        !allNamed(index.dirName, names) || !allNamed(index.entryName, names))
        return false;
    const std::uint32_t* parent = index.dirParent.mappedBase(); // loaded whole, in place
    for (const auto& [id, path] : index.rootPaths)
        if (id >= directories || parent[id] != id) return false;
    return parentsComeFirst(parent, directories);
}

std::uint64_t storedChecksum(const std::uint8_t* base, std::uint64_t size) {
    std::uint64_t stored = 0;
    std::memcpy(&stored, base + size - checksumBytes, checksumBytes);
    return stored;
}

bool checksumHolds(const std::uint8_t* base, std::uint64_t size) {
    if (size < checksumBytes) return false;
    return XXH3_64bits(base, size - checksumBytes) == storedChecksum(base, size);
}

// The header and roots, checked for this version; the reader stops after the roots.
std::optional<std::map<std::uint32_t, std::string>> readHead(Reader& reader, Loaded& loaded) {
    const std::uint8_t* stamp = reader.take(sizeof magic);
    if (!stamp || std::memcmp(stamp, magic, sizeof magic) != 0) return std::nullopt;
    if (reader.value<std::uint32_t>() != version) return std::nullopt;
    loaded.lastEventID = reader.value<std::uint64_t>();
    loaded.builtAt = static_cast<double>(reader.value<std::uint64_t>());
    return readRoots(reader);
}

// The filter's offset as the file's trailer gives it.
std::uint64_t storedFilterOffset(const std::uint8_t* base, std::uint64_t size) {
    std::uint64_t at = 0;
    std::memcpy(&at, base + size - checksumBytes - filterOffsetBytes, sizeof at);
    return at;
}

// The block filter, which must begin where the columns end and end where the trailer
// begins.
bool readFilterToTrailer(Reader& reader, const std::uint8_t* base, std::uint64_t size,
                         const NameCounts& counts, const MappedArchive* archive, Use use,
                         std::optional<NameBlockFilter>& filter) {
    const std::uint64_t filterAt = reader.offset();
    return readBlockFilter(reader, counts, archive, use, filter) &&
           reader.offset() == size - checksumBytes - filterOffsetBytes &&
           storedFilterOffset(base, size) == filterAt;
}

// `mapping` owns the bytes when they come from a file; it may be null for bytes the caller
// keeps alive. `held` bytes of the file's `size` are at `base`: all of them, or everything
// before the block filter (a private copy that leaves it unread), where the columns must
// end. The checksum at the end is not read here, nor the bounds when `trusted`.
std::optional<Loaded> parse(const std::uint8_t* base, std::uint64_t size, std::uint64_t held,
                            const SharedMappedArchive& mapping,
                            const std::vector<std::string>& expectingRoots, Use use,
                            bool trusted = false) {
    if (size < static_cast<std::uint64_t>(minimumFileBytes)) return std::nullopt;
    const bool whole = held >= size;
    Reader reader(base, whole ? size - checksumBytes - filterOffsetBytes : held,
                  mapping ? mapping->fileDescriptor() : -1);
    Loaded loaded;
    auto roots = readHead(reader, loaded);
    if (!roots || !rootsMatch(*roots, expectingRoots)) return std::nullopt;
    NameCounts counts{};
    auto shards = readShards(reader, counts, trusted);
    if (!shards) return std::nullopt;
    loaded.index = readColumns(reader);
    loaded.index.rootPaths = std::move(*roots);
    std::optional<NameBlockFilter> filter;
    if (reader.failed() ||
        (whole ? !readFilterToTrailer(reader, base, size, counts, mapping.get(), use, filter)
               : reader.offset() != held) ||
        (!trusted && !isSound(loaded.index, counts)))
        return std::nullopt;
    loaded.index.archive = mapping;
    loaded.names = std::make_shared<NameTable>(*shards, mapping, std::move(filter));
    loaded.bytes = static_cast<std::int64_t>(size);
    return loaded;
}

// Where a passed check leaves its FileMark on the file.
constexpr char markAttribute[] = "user.vesko.checked";

// The file as it stands: nothing when it cannot be read.
std::optional<FileMark> markOf(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < static_cast<off_t>(checksumBytes))
        return std::nullopt;
    FileMark mark;
    mark.size = static_cast<std::uint64_t>(status.st_size);
    mark.modifiedSeconds = status.st_mtim.tv_sec;
    mark.modifiedNanoseconds = status.st_mtim.tv_nsec;
    if (::pread(fd, &mark.checksum, sizeof mark.checksum,
                static_cast<off_t>(mark.size - checksumBytes)) != sizeof mark.checksum)
        return std::nullopt;
    return mark;
}

bool carriesMark(int fd, const FileMark& mark) {
    FileMark stored;
    return ::fgetxattr(fd, markAttribute, &stored, sizeof stored) == sizeof stored &&
           stored == mark;
}

// Without extended attributes (some file systems) every load checks the whole file again.
void leaveMark(int fd, const FileMark& mark) {
    ::fsetxattr(fd, markAttribute, &mark, sizeof mark, 0);
}

// The archive file opened for reading, when it is a regular file of archive size that
// belongs to the user: a file another user could have written is never trusted.
FileDescriptor openArchive(const std::string& path, std::size_t& size) {
    // Non-blocking so that a FIFO at the path cannot stall the start.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::geteuid() || status.st_size < minimumFileBytes)
        return FileDescriptor();
    size = static_cast<std::size_t>(status.st_size);
    return fd;
}

// The whole file mapped read-only; the descriptor stays with the mapping.
SharedMappedArchive mapFile(FileDescriptor fd, std::size_t size) {
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (base == MAP_FAILED) return nullptr;
    // From here on, a rejection releases the mapping with the last reference.
    auto mapping =
        std::make_shared<const MappedArchive>(base, static_cast<std::int64_t>(size), std::move(fd));
    ArchiveFaultGuard::watch(*mapping);
    return mapping;
}

// Reads `size` bytes at `offset` in full; false when the file ends first.
bool readExactly(int fd, void* into, std::size_t size, std::size_t offset) {
    auto* p = static_cast<std::uint8_t*>(into);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

constexpr std::size_t copyChunk = 1 << 18;

// Feeds bytes [from, to) of the file to `hash` through a small buffer: they come from the
// page cache either way, but this takes no page faults, which cost more than the hashing
// itself on a mapping of tens of megabytes.
bool hashFile(int fd, std::size_t from, std::size_t to, XXH3_state_t& hash) {
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(copyChunk);
    for (std::size_t done = from; done < to; done += copyChunk) {
        const std::size_t n = std::min(copyChunk, to - done);
        if (!readExactly(fd, buffer.get(), n, done)) return false;
        XXH3_64bits_update(&hash, buffer.get(), n);
    }
    return true;
}

// The stored checksum compared with what `hash` was fed.
bool storedChecksumIs(int fd, std::size_t size, XXH3_state_t& hash) {
    std::uint64_t stored = 0;
    return readExactly(fd, &stored, sizeof stored, size - checksumBytes) &&
           XXH3_64bits_digest(&hash) == stored;
}

// The file's first `held` bytes read into anonymous memory of its own, made read-only once
// filled; `hash`, when given, takes the bytes of the file's `size` before the checksum in
// chunks while they are still in the cache, also those past `held`. A file that shrinks
// while it is read is refused; one rewritten meanwhile fails its checksum.
SharedMappedArchive copyFile(int fd, std::size_t held, std::size_t size,
                             XXH3_state_t* hash = nullptr) {
    void* base = ::mmap(nullptr, held, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    auto copy = std::make_shared<const MappedArchive>(base, static_cast<std::int64_t>(held));
    // Large pages cut the page faults of filling tens of megabytes by a factor of 512.
    ::madvise(base, held, MADV_HUGEPAGE);
    auto* p = static_cast<std::uint8_t*>(base);
    const std::size_t hashed = size - std::min(size, checksumBytes);
    for (std::size_t done = 0; done < held; done += copyChunk) {
        const std::size_t n = std::min(copyChunk, held - done);
        if (!readExactly(fd, p + done, n, done)) return nullptr;
        if (hash && done < hashed) XXH3_64bits_update(hash, p + done, std::min(n, hashed - done));
    }
    ::mprotect(base, held, PROT_READ);
    if (hash && held < hashed && !hashFile(fd, held, hashed, *hash)) return nullptr;
    return copy;
}

// How much of the file the window holds, copied or leased: everything before the block filter, or
// the whole file when its trailer names no place for the filter (the parse then refuses it).
std::size_t heldInMemory(int fd, std::size_t size) {
    std::uint64_t filterAt = 0;
    if (!readExactly(fd, &filterAt, sizeof filterAt, size - checksumBytes - filterOffsetBytes) ||
        filterAt < headerBytes || filterAt > size - checksumBytes - filterOffsetBytes)
        return size;
    return static_cast<std::size_t>(filterAt);
}

// The private copy, or nothing when the file cannot be read or (with `check`) its bytes do
// not match their checksum.
SharedMappedArchive copyChecked(int fd, std::size_t size, Check check) {
    XXH3_state_t hash;
    XXH3_64bits_reset(&hash);
    auto copy =
        copyFile(fd, heldInMemory(fd, size), size, check == Check::atLoad ? &hash : nullptr);
    if (!copy || check != Check::atLoad) return copy;
    return storedChecksumIs(fd, size, hash) ? copy : nullptr;
}

// The same bytes as a copy, without copying: the file mapped privately under a read lease
// (ArchiveLease), which takes no fresh memory until another program opens the file to write
// it. Nothing when no lease can be had, `fd` then left to the caller; once `fd` went to the
// lease, nothing also means the file cannot be used.
SharedMappedArchive leaseChecked(FileDescriptor& fd, std::size_t size, Check check) {
    const std::size_t held = heldInMemory(fd.get(), size);
    auto lease = ArchiveLease::take(fd);
    if (!lease) return nullptr;
    const int file = lease->fileDescriptor();
    void* base = ::mmap(nullptr, held, PROT_READ, MAP_PRIVATE, file, 0);
    if (base == MAP_FAILED) return nullptr;
    if (!lease->guard(base, held)) { // broken already: a writer came first
        lease.reset();
        ::munmap(base, held);
        return nullptr;
    }
    auto memory = std::make_shared<const MappedArchive>(base, held, std::move(lease));
    // One call fills the page tables, for the checksum and the first search alike.
    ::madvise(base, held, MADV_POPULATE_READ);
    if (check != Check::atLoad) return memory;
    XXH3_state_t hash;
    XXH3_64bits_reset(&hash);
    const std::size_t hashed = size - std::min(size, checksumBytes);
    XXH3_64bits_update(&hash, base, std::min(held, hashed));
    if (held < hashed && !hashFile(file, held, hashed, hash)) return nullptr;
    return storedChecksumIs(file, size, hash) ? memory : nullptr;
}

// The window's memory: leased where the kernel allows it, else copied.
SharedMappedArchive privateChecked(FileDescriptor& fd, std::size_t size, Check check) {
    if (auto leased = leaseChecked(fd, size, check)) return leased;
    return fd ? copyChecked(fd.get(), size, check) : nullptr;
}

// The checksum test read through a small buffer rather than the mapping (hashFile).
bool fileChecksumHolds(int fd, std::size_t size) {
    XXH3_state_t hash;
    XXH3_64bits_reset(&hash);
    return hashFile(fd, 0, size - checksumBytes, hash) && storedChecksumIs(fd, size, hash);
}

// Hashing through a mapping takes a page fault every few pages unless the page tables are
// filled in one call first; the search then finds them filled too. Without that call
// (kernels before 5.14) the file is read through a buffer instead.
bool mappingChecksumHolds(const MappedArchive& mapping) {
    auto* base = const_cast<void*>(mapping.base());
    const auto size = static_cast<std::size_t>(mapping.size());
    if (::madvise(base, size, MADV_POPULATE_READ) != 0)
        return fileChecksumHolds(mapping.fileDescriptor(), size);
    return checksumHolds(static_cast<const std::uint8_t*>(base), size);
}

SharedMappedArchive mapChecked(FileDescriptor fd, std::size_t size, Check check) {
    auto mapping = mapFile(std::move(fd), size);
    if (!mapping || check != Check::atLoad) return mapping;
    return mappingChecksumHolds(*mapping) ? mapping : nullptr;
}

const std::uint8_t* bytesOf(const MappedArchive& memory) {
    return static_cast<const std::uint8_t*>(memory.base());
}

} // namespace

std::string urlFor(const std::vector<std::string>& roots) {
    return ArchiveFolder::pathFor(ArchiveFolder::prepare(), roots);
}

namespace {

// Writes, flushes to the disk and renames the locked temporary file over `path`.
std::optional<std::string> publish(ArchiveFolder::Temporary& temporary, const FileIndex& index,
                                   const NameTable& names, std::uint64_t lastEventID,
                                   double builtAt, const std::string& path) {
    const int fd = temporary.fd.get();
    if (int error = writeArchive(fd, index, names, lastEventID, builtAt))
        return failure("write", temporary.path, error);
    // Without this a crash soon after the rename could leave an empty file at `path`.
    if (::fsync(fd) != 0) return failure("flush", temporary.path, errno);
    // Its bytes are the ones just hashed: the next load need not hash them again.
    if (const auto mark = markOf(fd)) leaveMark(fd, *mark);
    if (::rename(temporary.path.c_str(), path.c_str()) != 0) return failure("replace", path, errno);
    // Closing only now keeps the lock until the name is gone, so no sweep sees it unlocked.
    if (temporary.fd.close() != 0) return failure("finish writing", path, errno);
    return std::nullopt;
}

} // namespace

std::optional<std::string> save(const FileIndex& index, const NameTable& names,
                                std::uint64_t lastEventID, double builtAt,
                                const std::string& path) {
    auto created = ArchiveFolder::createTemporary(path);
    if (!created.temporary) return failure("create a temporary file beside", path, created.error);
    ArchiveFolder::Temporary& temporary = *created.temporary;
    auto problem = publish(temporary, index, names, lastEventID, builtAt, path);
    if (problem && temporary.fd) ::unlink(temporary.path.c_str());
    return problem;
}

std::optional<Loaded> load(const std::vector<std::string>& expectingRoots, const std::string& path,
                           Use use, Check check) {
    std::size_t size = 0;
    FileDescriptor fd = openArchive(path, size);
    if (!fd) return std::nullopt;
    const int file = fd.get();
    // Taken before any byte is read: a write meanwhile leaves a mark that no longer matches.
    const auto mark = markOf(file);
    if (!mark || mark->size != size) return std::nullopt;
    const bool trusted =
        check == Check::unlessMarked && use == Use::searchOnly && carriesMark(file, *mark);
    const SharedMappedArchive memory = use == Use::updatable
                                           ? privateChecked(fd, size, check)
                                           : mapChecked(std::move(fd), size, check);
    if (!memory) return std::nullopt;
    auto loaded = parse(bytesOf(*memory), size, static_cast<std::uint64_t>(memory->size()), memory,
                        expectingRoots, use, trusted);
    if (!loaded) return std::nullopt;
    loaded->mark = *mark;
    loaded->checked = trusted;
    loaded->checkedAtLoad = check == Check::atLoad;
    ArchiveFolder::markUsed(file); // still open: the copy's or the mapping's
    return loaded;
}

bool verify(const Loaded& loaded) {
    const MappedArchive* memory = loaded.index.archive.get();
    if (!memory) return false;
    const auto size = static_cast<std::size_t>(memory->size());
    // A copy that leaves the filter unread was checked while it was read, or not at all.
    if (memory->fileDescriptor() < 0)
        return std::cmp_less(memory->size(), loaded.bytes) ? loaded.checkedAtLoad
                                                           : checksumHolds(bytesOf(*memory), size);
    if (!mappingChecksumHolds(*memory)) return false;
    leaveMark(memory->fileDescriptor(), loaded.mark);
    return true;
}

bool unchangedSince(const MappedArchive* memory, const FileMark& mark) {
    if (!memory || memory->fileDescriptor() < 0) return true;
    return markOf(memory->fileDescriptor()) == mark;
}

std::optional<Loaded> loadFromBytes(const std::vector<std::string>& expectingRoots,
                                    const void* bytes, std::size_t size) {
    // Column elements are read in place, aligned by their offset from the start.
    if (reinterpret_cast<std::uintptr_t>(bytes) % 8 != 0) return std::nullopt;
    const auto* base = static_cast<const std::uint8_t*>(bytes);
    if (!checksumHolds(base, size)) return std::nullopt;
    return parse(base, size, size, nullptr, expectingRoots, Use::updatable);
}

void seal(void* bytes, std::size_t size) {
    if (size < checksumBytes) return;
    const std::uint64_t checksum = XXH3_64bits(bytes, size - checksumBytes);
    std::memcpy(static_cast<std::uint8_t*>(bytes) + size - checksumBytes, &checksum, checksumBytes);
}

std::optional<std::vector<std::string>> storedRoots(const std::string& path) {
    std::size_t size = 0;
    FileDescriptor fd = openArchive(path, size);
    if (!fd) return std::nullopt;
    const std::size_t head = std::min(size, std::size_t{1} << 20);
    const SharedMappedArchive memory = copyFile(fd.get(), head, head);
    if (!memory) return std::nullopt;
    Reader reader(bytesOf(*memory), static_cast<std::uint64_t>(memory->size()));
    Loaded header;
    const auto roots = readHead(reader, header);
    if (!roots) return std::nullopt;
    std::vector<std::string> paths;
    for (const auto& [id, root] : *roots)
        paths.push_back(root);
    return paths;
}

void remove(const std::string& path) {
    ::unlink(path.c_str());
}

} // namespace vesko::IndexArchive
