// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as an index archive. Most are rejected; whatever loads must be safe to
// use as the store would use it: the index keeps its invariants, every name reads back,
// every path can be built, names can be searched and interned, and saving the loaded index
// and loading that file again gives the same columns. The expected roots are the ones the
// bytes themselves store, and the checksum at the end is rewritten to match the bytes, so
// mutations reach past the root check and the checksum to the structural checks.
#include "FuzzCheck.h"

#include "index/IndexArchive.h"
#include "index/Unicode.h"
#include "search/NameRules.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using vesko::FileIndex;
using vesko::NameTable;
using vesko::fuzz::require;
using vesko::fuzz::requireNone;
namespace IndexArchive = vesko::IndexArchive;

// Work per input stays bounded on large but valid archives.
constexpr std::size_t maxChecked = 4096;

// The roots section read leniently: the paths in directory-id order, or none when the bytes
// end early. Only chooses what to expect; the loader does its own checking.
std::vector<std::string> rootsStoredIn(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 28;
    auto u32 = [&](std::uint32_t& value) {
        if (size < 4 || at > size - 4) return false;
        std::memcpy(&value, data + at, 4);
        at += 4;
        return true;
    };
    std::map<std::uint32_t, std::string> roots;
    std::uint32_t count = 0, id = 0, length = 0;
    if (!u32(count)) return {};
    for (std::uint32_t i = 0; i < count && i < 64; ++i) {
        if (!u32(id) || !u32(length) || length > size - at) break;
        roots[id] = std::string(reinterpret_cast<const char*>(data) + at, length);
        at += length;
    }
    std::vector<std::string> paths;
    for (auto& [key, path] : roots)
        paths.push_back(std::move(path));
    return paths;
}

void checkNames(NameTable& names) {
    require(names.shardsCount() == NameTable::shardCount, "a loaded table has 32 shards");
    std::size_t checked = 0;
    std::vector<std::uint32_t> ids;
    for (std::uint32_t s = 0; s < names.shardsCount(); ++s)
        for (std::uint32_t p = 0; p < names.shard(s).nameCount() && checked < maxChecked;
             ++p, ++checked) {
            const std::uint32_t id = s | (p << 5);
            require(vesko::Unicode::isValidUtf8(names.display(id)), "display() is valid UTF-8");
            require(vesko::Unicode::isValidUtf8(names.folded(id)), "folded() is valid");
            require(names.matchRank(id, names.foldedBytes(id)).length ==
                        names.foldedBytes(id).size(),
                    "matchRank reads the whole name");
            ids.push_back(id);
        }
    names.rebuildIndexIfNeeded();
    for (std::size_t i = 0; i < ids.size() && i < 64; ++i) {
        const std::string display(names.displayBytes(ids[i]));
        require(names.displayBytes(names.intern(display)) == display,
                "interning into a loaded table keeps the display bytes");
    }
}

void checkIndex(const FileIndex& index, const NameTable& names) {
    requireNone(index.checkInvariants(), "a loaded index keeps its invariants");
    const auto entries = static_cast<std::size_t>(index.count());
    for (std::size_t e = 0; e < entries && e < maxChecked; ++e) {
        const auto entry = static_cast<std::int64_t>(e);
        require(!index.path(entry, names).empty(), "every entry has a path");
        index.foldedPath(entry, names);
    }
    for (std::uint32_t d = 0; d < index.directoryCount() && d < maxChecked; ++d) {
        index.pathOfDirectory(d, names);
        const std::uint32_t root = index.rootOf(d);
        require(index.dirParent[root] == root, "every directory lies below a root");
    }
    const std::vector<std::uint32_t> matched = vesko::Search::matchingNames("e", names, nullptr);
    const std::vector<bool> under =
        vesko::Search::directoriesUnderMatch(matched, index, names.idUpperBound());
    require(under.size() == index.directoryCount(), "one flag per directory");
}

std::string scratchPath() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vesko-fuzz-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        return pattern + "/" + IndexArchive::fileName;
    }();
    return path;
}

void checkRoundTrip(const IndexArchive::Loaded& loaded, const std::vector<std::string>& roots) {
    const std::string path = scratchPath();
    require(
        !IndexArchive::save(loaded.index, *loaded.names, loaded.lastEventID, loaded.builtAt, path),
        "a loaded index saves");
    const auto again = IndexArchive::load(roots, path);
    IndexArchive::remove(path);
    require(again.has_value(), "a saved index loads again");
    const FileIndex &a = loaded.index, &b = again->index;
    require(a.dirParent == b.dirParent && a.dirName == b.dirName && a.entryName == b.entryName &&
                a.entryDir == b.entryDir && a.entryFlags == b.entryFlags &&
                a.entrySize == b.entrySize && a.entryModified == b.entryModified &&
                a.entryCreated == b.entryCreated && a.entryAccessed == b.entryAccessed &&
                a.rootPaths == b.rootPaths,
            "the index columns survive a save and load");
    for (std::size_t s = 0; s < loaded.names->shardsCount(); ++s) {
        const NameTable::Shard &x = loaded.names->shard(s), &y = again->names->shard(s);
        require(x.bytes() == y.bytes() && x.starts() == y.starts() && x.display() == y.display() &&
                    x.displayStarts() == y.displayStarts(),
                "the name columns survive a save and load");
    }
    require(again->lastEventID == loaded.lastEventID && again->builtAt == loaded.builtAt,
            "the header survives a save and load");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so the sanitizer sees a read one past the end; new[] aligns to 16.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    if (size) std::memcpy(bytes.get(), data, size);
    IndexArchive::seal(bytes.get(), size);
    const std::vector<std::string> roots = rootsStoredIn(bytes.get(), size);
    auto loaded = IndexArchive::loadFromBytes(roots, bytes.get(), size);
    if (!loaded) return 0;
    require(loaded->bytes == static_cast<std::int64_t>(size), "the size is reported");
    checkIndex(loaded->index, *loaded->names);
    checkNames(*loaded->names);
    checkRoundTrip(*loaded, roots);
    return 0;
}
