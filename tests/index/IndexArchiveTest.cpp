// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/IndexArchive.h"

#include "index/ArchiveFaultGuard.h"
#include "support/ChildProcess.h"
#include "support/MemoryIndex.h"
#include "support/RestoredNames.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using IndexArchive::load;
using IndexArchive::save;
using test::readFile;
using Use = IndexArchive::Use;

struct Sample {
    FileIndex index;
    SharedNameTable names = std::make_shared<NameTable>();
};

const std::vector<std::string> sampleRoots = {"/home/u", "/mnt/data"};

// Two roots, a nested folder, and names with capitals, NFD, invalid UTF-8 and no bytes;
// `extra` more plain files make the archive as large as a test needs.
Sample makeSample(std::uint32_t extra = 0) {
    test::MemoryIndex m;
    m.root("/home/u");
    m.root("/mnt/data");
    std::uint32_t t = 0;
    const auto entry = [&](const std::string& name, std::uint32_t dir, EntryFlags flags = {}) {
        t += 1000;
        return m.file(name, dir, t * 7, {t, t + 1, t + 2}, flags);
    };
    const std::uint32_t docs = m.folder("Docs", 0, {1, 2, 3});
    entry("README.txt", 0);
    const std::uint32_t unicode = m.folder("Ünicode", docs, {4, 5, 6});
    entry("e\xCC\x81t\xC3\xA9.md", unicode);
    entry("\xFF\xFE-bad", 1, EntryFlags::symlink());
    entry("", 1);
    entry("readme.txt", docs, EntryFlags::deleted());
    for (std::uint32_t i = 0; i < extra; ++i)
        entry("file" + std::to_string(i) + ".txt", i % 4);
    return {m.index, m.sharedNames};
}

// Unlinks first: ext4 flushes a file that replaces data by truncation, which made the
// thousands of rewrites in these tests take seconds.
void writeFile(const std::string& path, std::string_view bytes) {
    ::unlink(path.c_str());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

// Every column, every name of every shard and every path agree.
void expectSame(const FileIndex& a, const NameTable& an, const FileIndex& b, const NameTable& bn) {
    EXPECT_TRUE(a.dirParent == b.dirParent && a.dirName == b.dirName);
    EXPECT_TRUE(a.entryName == b.entryName && a.entryDir == b.entryDir);
    EXPECT_TRUE(a.entryFlags == b.entryFlags && a.entrySize == b.entrySize);
    EXPECT_TRUE(a.entryModified == b.entryModified && a.entryCreated == b.entryCreated &&
                a.entryAccessed == b.entryAccessed);
    EXPECT_EQ(a.rootPaths, b.rootPaths);
    ASSERT_EQ(an.shardsCount(), bn.shardsCount());
    for (std::size_t s = 0; s < an.shardsCount(); ++s) {
        ASSERT_EQ(an.shard(s).nameCount(), bn.shard(s).nameCount());
        for (std::uint32_t p = 0; p < an.shard(s).nameCount(); ++p) {
            EXPECT_EQ(an.shard(s).foldedBytes(p), bn.shard(s).foldedBytes(p));
            EXPECT_EQ(an.shard(s).displayBytes(p), bn.shard(s).displayBytes(p));
        }
    }
    for (std::int64_t i = 0; i < a.count(); ++i)
        EXPECT_EQ(a.path(i, an), b.path(i, bn));
}

// Everything a search could print: every entry's and directory's path with its flags.
std::vector<std::string> everyPath(const FileIndex& index, const NameTable& names) {
    std::vector<std::string> paths;
    for (std::int64_t i = 0; i < index.count(); ++i)
        paths.push_back(index.path(i, names) + "|" + std::to_string(index.flags(i).rawValue));
    for (std::uint32_t d = 0; d < index.directoryCount(); ++d)
        paths.push_back(index.pathOfDirectory(d, names));
    return paths;
}

std::vector<std::string> everyPath(const IndexArchive::Loaded& loaded) {
    return everyPath(loaded.index, *loaded.names);
}

class IndexArchiveTest : public ::testing::Test {
protected:
    std::string path() const { return tree.path("index.veskoindex"); }

    test::TempTree tree;
    test::ScopedEnv env{"XDG_CACHE_HOME", tree.path("cache")};
};

TEST_F(IndexArchiveTest, RoundTripInBothUsesRestoresEverything) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 77, 1234.9, path()), std::nullopt);
    struct stat status {};
    ASSERT_EQ(::stat(path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    for (const Use use : {Use::updatable, Use::searchOnly}) {
        auto loaded = load(sampleRoots, path(), use);
        ASSERT_TRUE(loaded);
        expectSame(s.index, *s.names, loaded->index, *loaded->names);
        EXPECT_EQ(loaded->lastEventID, 77u);
        EXPECT_EQ(loaded->builtAt, 1234.0);
        EXPECT_EQ(loaded->bytes, status.st_size);
        EXPECT_TRUE(IndexArchive::verify(*loaded));
        EXPECT_EQ(loaded->index.checkInvariants(), "");
        // Nothing is copied a second time: the columns and the names read the loaded bytes.
        FileIndex ix = loaded->index;
        EXPECT_EQ(ix.entryFlags.mappedCount(), 7u);
        EXPECT_EQ(loaded->names->mappedNameBytes(), s.names->nameBytes() + s.names->displayBytes());
        // The updater writes a loaded column: the write lands in memory of its own, and the
        // loaded index, a search's snapshot, keeps what it read.
        ix.entryFlags.set(1, EntryFlags::deleted().rawValue);
        ix.entryAccessed.set(6, 99);
        EXPECT_TRUE(ix.flags(1).contains(EntryFlags::deleted()));
        EXPECT_EQ(ix.entryAccessed[6], 99u);
        EXPECT_EQ(ix.entryAccessed[5], s.index.entryAccessed[5]);
        expectSame(s.index, *s.names, loaded->index, *loaded->names);
    }

    // A loaded index stays valid after a save replaces the file.
    auto before = load(sampleRoots, path(), Use::searchOnly);
    Sample other = makeSample();
    other.index.appendEntry(other.names->intern("new"), 1, {}, 1, 2, 3, 4);
    ASSERT_EQ(save(other.index, *other.names, 78, 0, path()), std::nullopt);
    EXPECT_EQ(before->index.path(1, *before->names), "/home/u/README.txt");
    EXPECT_EQ(load(sampleRoots, path())->index.count(), 8);
}

// The root path's length moves every later block: counts at 0, 4 and odd offsets mod 8; an
// index without a root or a name has no blocks to pad.
TEST_F(IndexArchiveTest, PaddingFollowsTheAbsoluteOffset) {
    for (const int length : {4, 5, 7, 8, 12}) {
        const std::string root = "/" + std::string(length - 1, 'r');
        Sample s;
        s.index.dirParent.append(0u);
        s.index.dirName.append(s.names->intern(root));
        s.index.rootPaths = {{0, root}};
        s.index.appendEntry(s.names->intern("Odd"), 0, {}, 1, 2, 3, 4);
        ASSERT_EQ(save(s.index, *s.names, 1, 2, path()), std::nullopt);
        auto loaded = load({root}, path(), Use::searchOnly);
        ASSERT_TRUE(loaded) << root;
        expectSame(s.index, *s.names, loaded->index, *loaded->names);
    }
    ASSERT_EQ(save(FileIndex(), NameTable(), 0, -5, path()), std::nullopt);
    auto empty = load({}, path());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->index.count(), 0);
    EXPECT_EQ(empty->names->uniqueCount(), 0);
    EXPECT_EQ(empty->builtAt, 0.0);
}

TEST_F(IndexArchiveTest, EveryTruncationOrExtensionIsRejected) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    const std::string whole = readFile(path());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        writeFile(path(), std::string_view(whole).substr(0, length));
        EXPECT_FALSE(load(sampleRoots, path())) << length;
    }
    writeFile(path(), whole + "trailing bytes");
    EXPECT_FALSE(load(sampleRoots, path()));
}

// Every single-byte change of a valid archive is either refused or changes nothing that a
// search could show: no path that does not exist, no path lost.
TEST_F(IndexArchiveTest, EveryFlippedByteIsRejectedOrHarmless) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    const std::string whole = readFile(path());
    const auto expected = everyPath(s.index, *s.names);
    std::vector<std::uint64_t> words((whole.size() + 7) / 8);
    auto* bytes = reinterpret_cast<char*>(words.data());
    std::size_t accepted = 0;
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (const char flip : {'\x01', '\x80', '\xFF'}) {
            std::memcpy(bytes, whole.data(), whole.size());
            bytes[at] ^= flip;
            const auto loaded = IndexArchive::loadFromBytes(sampleRoots, bytes, whole.size());
            if (!loaded) continue;
            ++accepted;
            EXPECT_EQ(everyPath(*loaded), expected) << "byte " << at;
        }
    }
    EXPECT_EQ(accepted, 0u);

    // The file loaders check the same sum: at once, or on the caller's request.
    std::string damaged = whole;
    damaged[whole.size() / 2] ^= 1;
    writeFile(path(), damaged);
    EXPECT_FALSE(load(sampleRoots, path(), Use::updatable));
    EXPECT_FALSE(load(sampleRoots, path(), Use::searchOnly));
    auto unchecked = load(sampleRoots, path(), Use::searchOnly, IndexArchive::Check::byCaller);
    if (unchecked) {
        EXPECT_FALSE(IndexArchive::verify(*unchecked));
    }

    // A saved file is marked as checked and then used without checks, until it is written
    // again in any way (here in place, keeping its size).
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    if (::getxattr(path().c_str(), "user.vesko.checked", nullptr, 0) <= 0) return; // no xattrs
    {
        const auto marked =
            load(sampleRoots, path(), Use::searchOnly, IndexArchive::Check::unlessMarked);
        ASSERT_TRUE(marked);
        EXPECT_TRUE(marked->checked);
        // A search reads the file as it is now: another archive of the same size written
        // over it in place is noticed, even where the clock gives both writes one time.
        const MappedArchive* memory = marked->index.archive.get();
        EXPECT_TRUE(IndexArchive::unchangedSince(memory, marked->mark));
        ASSERT_EQ(save(s.index, *s.names, 0, 1, path() + ".other"), std::nullopt);
        const std::string other = readFile(path() + ".other");
        ASSERT_EQ(other.size(), whole.size());
        std::fstream(path(), std::ios::in | std::ios::out | std::ios::binary)
            .write(other.data(), static_cast<std::streamsize>(other.size()));
        EXPECT_FALSE(IndexArchive::unchangedSince(memory, marked->mark));
    }
    std::fstream(path(), std::ios::in | std::ios::out | std::ios::binary).seekp(20) << '\x7F';
    auto rewritten = load(sampleRoots, path(), Use::searchOnly, IndexArchive::Check::unlessMarked);
    if (rewritten) {
        EXPECT_FALSE(rewritten->checked);
        EXPECT_FALSE(IndexArchive::verify(*rewritten));
    }
}

struct BadCase {
    const char* name;
    std::function<void(Sample&)> editIndex;
    std::vector<std::string> roots = sampleRoots;
};

// Replaces the name table by one whose first shard with two names is edited.
void editShard(Sample& s, const std::function<void(NameTable::RestoredShard&)>& edit) {
    bool edited = false;
    s.names = test::restoredNames(*s.names, [&](std::size_t, NameTable::RestoredShard& r) {
        if (!edited && r.starts.count() >= 3) edit(r), edited = true;
    });
    ASSERT_TRUE(edited);
}

// Edits the offsets of one restored shard, keeping their number.
std::function<void(Sample&)> editOffsets(bool display,
                                         std::function<void(std::vector<std::uint32_t>&)> edit) {
    return [=](Sample& s) {
        editShard(s, [&](NameTable::RestoredShard& r) {
            Column<std::uint32_t>& column = display ? r.displayStarts : r.starts;
            std::vector<std::uint32_t> values;
            for (std::size_t i = 0; i < column.count(); ++i)
                values.push_back(column[i]);
            edit(values);
            column = Column<std::uint32_t>(values);
        });
    };
}

// Archives with a valid checksum whose contents would make a later read unsafe, or that
// were built for other roots.
const BadCase badCases[] = {
    {"RootsInOtherOrder", {}, {"/mnt/data", "/home/u"}},
    {"RootMissing", {}, {"/home/u"}},
    {"RootCaseDiffers", {}, {"/home/U", "/mnt/data"}},
    {"ExpectedRootNotNormalised", {}, {"/home/u", "/mnt/data/"}},
    {"StoredRootWithTrailingSlash", [](Sample& s) { s.index.rootPaths[1] = "/mnt/data/"; }},
    {"EntryColumnsUnequal", [](Sample& s) { s.index.entryCreated.append(0u); }},
    {"DirectoryColumnsUnequal", [](Sample& s) { s.index.dirName.append(0u); }},
    {"EntryDirPastDirectories", [](Sample& s) { s.index.entryDir.set(1, 4); }},
    {"DirParentPastDirectories", [](Sample& s) { s.index.dirParent.set(3, 99); }},
    {"EntryNameBeyondItsShard", [](Sample& s) { s.index.entryName.set(0, 3 | 1000u << 5); }},
    {"DirNameBeyondItsShard", [](Sample& s) { s.index.dirName.set(2, 0xFFFFFFE0u); }},
    {"RootNotSelfParented", [](Sample& s) { s.index.dirParent.set(1, 0); }},
    {"RootPastDirectories",
     [](Sample& s) { s.index.rootPaths[9] = "/x"; },
     {"/home/u", "/mnt/data", "/x"}},
    {"ParentCycle", [](Sample& s) { s.index.dirParent.set(2, 3); }},
    {"ParentWithLaterId",
     [](Sample& s) {
         s.index.dirParent.append(1u), s.index.dirName.append(s.index.dirName[2]);
         s.index.dirParent.set(3, 4);
     }},
    {"StartsNotFromZero", editOffsets(false, [](auto& v) { v[0] = 1; })},
    {"StartsPastBytes", editOffsets(false, [](auto& v) { v.back() += 9; })},
    {"StartsGoBackwards", editOffsets(false, [](auto& v) { v[1] = v[2] + 1; })},
    {"DisplayStartsShorter", editOffsets(true, [](auto& v) { v.pop_back(); })},
};

TEST_F(IndexArchiveTest, MalformedOrForeignArchiveIsRejected) {
    for (const BadCase& bad : badCases) {
        Sample s = makeSample();
        if (bad.editIndex) bad.editIndex(s);
        ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt) << bad.name;
        EXPECT_FALSE(load(bad.roots, path())) << bad.name;
    }
}

TEST_F(IndexArchiveTest, ArchiveOfAnotherUserIsNeverLoaded) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    ASSERT_TRUE(load(sampleRoots, path()));
    if (::geteuid() != 0) GTEST_SKIP() << "handing a file to another user needs root";
    ASSERT_EQ(::chown(path().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(load(sampleRoots, path(), Use::updatable));
    EXPECT_FALSE(load(sampleRoots, path(), Use::searchOnly));
    EXPECT_FALSE(IndexArchive::storedRoots(path()));
}

// Whether /proc/locks shows a read lease held by `pid`.
bool holdsReadLease(pid_t pid) {
    std::ifstream locks("/proc/locks");
    const std::string owner = " " + std::to_string(pid) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("LEASE") != std::string::npos && line.find("READ") != std::string::npos &&
            line.find(owner) != std::string::npos)
            return true;
    return false;
}

// A process that keeps its index reads it from a mapping under a read lease, copying
// nothing, and another program truncating or rewriting the file later does it no harm (were
// the mapping not copied first, the next read would end this process by SIGBUS).
TEST_F(IndexArchiveTest, UpdatableIndexSurvivesTheFileChanging) {
    const Sample s = makeSample(5000);
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    const auto loaded = load(sampleRoots, path(), Use::updatable);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(holdsReadLease(::getpid()));
    const auto expected = everyPath(s.index, *s.names);
    ASSERT_EQ(test::runInChild([&] { return ::truncate(path().c_str(), 0); }), 0);
    EXPECT_EQ(everyPath(*loaded), expected);
    ASSERT_EQ(test::runInChild([&] {
                  writeFile(path(), std::string(1 << 20, '\x5A'));
                  return 0;
              }),
              0);
    EXPECT_EQ(everyPath(*loaded), expected);
}

// A process that searches through the mapping and exits: with the guard armed, a fault caused
// by the file changing ends it with a message and a status, never a signal; any other fault
// still ends it by its signal.
TEST_F(IndexArchiveTest, GuardTurnsFaultsOfAChangedFileIntoAStatus) {
    const Sample s = makeSample(5000);
    const std::pair<const char*, std::function<void(const std::string&)>> damages[] = {
        {"truncated", [](const std::string& p) { ::truncate(p.c_str(), 0); }},
        {"overwritten in place",
         [](const std::string& p) {
             ::usleep(20000); // past the file system's timestamp granularity
             std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(4096);
             file.write(std::string(8192, '\xEE').data(), 8192);
         }},
        {"unchanged", nullptr},
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
        const std::string errors = tree.path("errors");
        const int status = test::runInChild([&] {
            std::freopen(errors.c_str(), "w", stderr);
            ArchiveFaultGuard::install("archive changed\n", 42);
            auto loaded = load(sampleRoots, path(), Use::searchOnly);
            if (!loaded) return 3;
            if (damage) damage(path());
            everyPath(*loaded);
            ::raise(SIGSEGV); // as a wild read would, once the ids it follows have changed
            return 0;
        });
        EXPECT_EQ(status, damage ? 42 : -1) << "-1: died by a signal";
        if (damage) {
            EXPECT_EQ(readFile(errors), "archive changed\n");
        }
    }
}

} // namespace
} // namespace vesko
