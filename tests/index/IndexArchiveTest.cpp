// SPDX-License-Identifier: MIT
#include "index/IndexArchive.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace vesko {
namespace {

namespace fs = std::filesystem;
using IndexArchive::load;
using IndexArchive::save;

struct Sample {
    FileIndex index;
    SharedNameTable names = std::make_shared<NameTable>();
};

const std::vector<std::string> sampleRoots = {"/home/u", "/mnt/data"};

// Two roots, a nested folder, and names with capitals, NFD, invalid UTF-8 and no bytes.
Sample makeSample() {
    Sample s;
    NameTable& names = *s.names;
    auto dir = [&](std::uint32_t parent, std::string_view name) {
        s.index.dirParent.append(parent);
        s.index.dirName.append(names.intern(name));
    };
    dir(0, "/home/u");
    dir(1, "/mnt/data");
    dir(0, "Docs");
    dir(2, "Ünicode");
    s.index.rootPaths = {{0, "/home/u"}, {1, "/mnt/data"}};
    std::uint32_t t = 0;
    auto entry = [&](std::string_view name, std::uint32_t dir, EntryFlags flags) {
        t += 1000;
        s.index.appendEntry(names.intern(name), dir, flags, t * 7, t, t + 1, t + 2);
    };
    entry("Docs", 0, EntryFlags::directory());
    entry("README.txt", 0, EntryFlags::none());
    entry("Ünicode", 2, EntryFlags::directory());
    entry("e\xCC\x81t\xC3\xA9.md", 3, EntryFlags::none());
    entry("\xFF\xFE-bad", 1, EntryFlags::symlink());
    entry("", 1, EntryFlags::none());
    entry("readme.txt", 2, EntryFlags::deleted());
    return s;
}

// An independent encoding of the file layout: the oracle for the exact-byte tests.
struct Layout {
    std::string bytes;
    std::vector<std::size_t> countAt; // offsets of every 32-bit count, for corruption tests
    template <class T> void put(T v) { bytes.append(reinterpret_cast<const char*>(&v), sizeof v); }
    template <class T> void block(const Column<T>& column) {
        countAt.push_back(bytes.size());
        put(static_cast<std::uint32_t>(column.count()));
        while (bytes.size() % 8)
            bytes.push_back('\0');
        for (std::size_t i = 0; i < column.count(); ++i)
            put(column[i]);
    }
};

Layout encode(const FileIndex& index, const NameTable& names, std::uint64_t event,
              std::uint64_t builtAt) {
    Layout out;
    out.bytes = "VESKOIDX";
    out.put(std::uint32_t{8}), out.put(event), out.put(builtAt);
    out.countAt.push_back(out.bytes.size());
    out.put(static_cast<std::uint32_t>(index.rootPaths.size()));
    for (const auto& [id, path] : index.rootPaths) {
        out.put(id), out.put(static_cast<std::uint32_t>(path.size()));
        out.bytes += path;
    }
    out.countAt.push_back(out.bytes.size());
    out.put(std::uint32_t{32});
    for (std::size_t s = 0; s < 32; ++s) {
        const NameTable::Shard& shard = names.shard(s);
        out.block(shard.bytes()), out.block(shard.starts());
        out.block(shard.display()), out.block(shard.displayStarts());
    }
    for (const auto* c : {&index.dirParent, &index.dirName, &index.entryName, &index.entryDir})
        out.block(*c);
    out.block(index.entryFlags);
    for (const auto* c :
         {&index.entrySize, &index.entryModified, &index.entryCreated, &index.entryAccessed})
        out.block(*c);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
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

// Reads everything a search would read; under ASan this proves a loaded file is safe.
std::size_t touchEverything(const IndexArchive::Loaded& loaded) {
    std::size_t total = 0;
    for (std::int64_t i = 0; i < loaded.index.count(); ++i)
        total += loaded.index.path(i, *loaded.names).size();
    for (std::uint32_t d = 0; d < loaded.index.directoryCount(); ++d)
        total += loaded.index.pathOfDirectory(d, *loaded.names).size();
    return total;
}

class IndexArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_CACHE_HOME", "HOME"})
            if (const char* v = std::getenv(name)) savedEnv[name] = v;
        ::setenv("XDG_CACHE_HOME", tree.path("cache").c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"XDG_CACHE_HOME", "HOME"}) {
            if (savedEnv.count(name))
                ::setenv(name, savedEnv[name].c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    std::string path() const { return tree.path("index.veskoindex"); }

    test::TempTree tree;
    std::map<std::string, std::string> savedEnv;
};

TEST_F(IndexArchiveTest, RoundTripRestoresEverythingAndMapsTheLargeColumns) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 77, 1234.9, path()), std::nullopt);
    EXPECT_EQ(readFile(path()), encode(s.index, *s.names, 77, 1234).bytes);
    struct stat status {};
    ASSERT_EQ(::stat(path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    auto loaded = load(sampleRoots, path());
    ASSERT_TRUE(loaded);
    expectSame(s.index, *s.names, loaded->index, *loaded->names);
    EXPECT_EQ(loaded->lastEventID, 77u);
    EXPECT_EQ(loaded->builtAt, 1234.0);
    EXPECT_EQ(loaded->bytes, status.st_size);
    EXPECT_TRUE(loaded->index.archive);
    const FileIndex& ix = loaded->index;
    EXPECT_EQ(ix.entryName.mappedCount(), 7u);
    EXPECT_EQ(ix.entryDir.mappedCount(), 7u);
    EXPECT_EQ(ix.entryFlags.mappedCount() + ix.entrySize.mappedCount() +
                  ix.dirParent.mappedCount() + ix.entryAccessed.mappedCount(),
              0u);
    EXPECT_EQ(loaded->names->mappedNameBytes(), s.names->nameBytes() + s.names->displayBytes());
    EXPECT_EQ(loaded->index.checkInvariants(), "");

    // The old mapping stays valid after a save replaces the file.
    Sample other = makeSample();
    other.index.appendEntry(other.names->intern("new"), 1, {}, 1, 2, 3, 4);
    ASSERT_EQ(save(other.index, *other.names, 78, 0, path()), std::nullopt);
    EXPECT_EQ(loaded->index.path(1, *loaded->names), "/home/u/README.txt");
    EXPECT_EQ(load(sampleRoots, path())->index.count(), 8);
}

TEST_F(IndexArchiveTest, EmptyIndexIsHeaderRootsAndEmptyBlocks) {
    const FileIndex empty;
    const NameTable names;
    ASSERT_EQ(save(empty, names, 0, -5, path()), std::nullopt);
    // 36 bytes of header, root count and shard count; each shard 32 bytes (a count at 4 mod
    // 8 needs no padding, its `starts` at 0 mod 8 four bytes); nine blocks of 4 + 8 x 8.
    const std::string bytes = readFile(path());
    EXPECT_EQ(bytes.size(), 36u + 32 * 32 + 4 + 8 * 8);
    EXPECT_EQ(bytes, encode(empty, names, 0, 0).bytes);
    auto loaded = load({}, path());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->index.count(), 0);
    EXPECT_EQ(loaded->names->uniqueCount(), 0);
    EXPECT_EQ(loaded->builtAt, 0.0);
}

// The root path's length moves every later block: counts at 0, 4 and odd offsets mod 8.
class ArchivePadding : public IndexArchiveTest, public ::testing::WithParamInterface<int> {};

TEST_P(ArchivePadding, FollowsTheAbsoluteOffset) {
    const std::string root = "/" + std::string(GetParam() - 1, 'r');
    Sample s;
    s.index.dirParent.append(0u);
    s.index.dirName.append(s.names->intern(root));
    s.index.rootPaths = {{0, root}};
    s.index.appendEntry(s.names->intern("Odd"), 0, {}, 1, 2, 3, 4);
    ASSERT_EQ(save(s.index, *s.names, 1, 2, path()), std::nullopt);
    EXPECT_EQ(readFile(path()), encode(s.index, *s.names, 1, 2).bytes);
    auto loaded = load({root}, path());
    ASSERT_TRUE(loaded);
    expectSame(s.index, *s.names, loaded->index, *loaded->names);
}

INSTANTIATE_TEST_SUITE_P(RootLengths, ArchivePadding, ::testing::Values(4, 5, 7, 8, 12));

TEST_F(IndexArchiveTest, ColumnWithMappedAndAppendedPartsSavesAsOneRun) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    auto first = load(sampleRoots, path());
    ASSERT_TRUE(first);
    FileIndex grown = first->index;
    grown.appendEntry(first->names->intern("appended"), 3, {}, 9, 9, 9, 9);
    ASSERT_EQ(grown.entryName.mappedCount(), 7u);
    const std::string second = tree.path("second.veskoindex");
    ASSERT_EQ(save(grown, *first->names, 0, 0, second), std::nullopt);
    EXPECT_EQ(readFile(second), encode(grown, *first->names, 0, 0).bytes);
    auto reloaded = load(sampleRoots, second);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->index.entryName.mappedCount(), 8u);
    expectSame(grown, *first->names, reloaded->index, *reloaded->names);
}

TEST_F(IndexArchiveTest, EveryTruncationIsRejected) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    const std::string whole = readFile(path());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        writeFile(path(), std::string_view(whole).substr(0, length));
        EXPECT_FALSE(load(sampleRoots, path())) << length;
    }
    writeFile(path(), whole + "trailing bytes are ignored");
    EXPECT_TRUE(load(sampleRoots, path()));
}

TEST_F(IndexArchiveTest, CorruptHeadersAndCountsNeverReadOutOfBounds) {
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    const std::string whole = readFile(path());
    const Layout layout = encode(s.index, *s.names, 0, 0);
    std::mt19937 random(20240611);
    const std::uint32_t bigValues[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0};
    std::size_t accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = whole;
        for (int flips = 1 + round % 3; flips > 0; --flips) {
            const std::size_t count = layout.countAt[random() % layout.countAt.size()];
            if (random() % 2) {
                const std::uint32_t v = bigValues[random() % std::size(bigValues)];
                std::memcpy(&bytes[count], &v, 4);
            } else {
                const std::size_t at = random() % 3 ? count + random() % 4 : random() % 28;
                bytes[at] = static_cast<char>(random());
            }
        }
        writeFile(path(), bytes);
        if (auto loaded = load(sampleRoots, path())) {
            touchEverything(*loaded);
            ++accepted;
        }
    }
    EXPECT_LT(accepted, 1500u); // most corruptions are caught, none crash
}

struct BadCase {
    const char* name;
    std::function<void(Sample&)> editIndex = nullptr; // either may be left empty
    std::function<void(std::string&)> editFile = nullptr;
    std::vector<std::string> roots = sampleRoots;
    bool loads = false;
};

void PrintTo(const BadCase& c, std::ostream* out) {
    *out << c.name;
}

// Replaces the name table by one whose first shard with two names is edited.
void editShard(Sample& s, const std::function<void(NameTable::RestoredShard&)>& edit) {
    std::vector<NameTable::RestoredShard> shards;
    bool edited = false;
    for (std::size_t i = 0; i < s.names->shardsCount(); ++i) {
        const NameTable::Shard& shard = s.names->shard(i);
        shards.push_back({shard.bytes(), shard.starts(), shard.display(), shard.displayStarts()});
        if (!edited && shard.nameCount() >= 2) edit(shards.back()), edited = true;
    }
    ASSERT_TRUE(edited);
    s.names = std::make_shared<NameTable>(shards);
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

constexpr std::size_t shardCountAt = 28 + 4 + 8 + 7 + 8 + 9;

const BadCase badCases[] = {
    {"WrongMagic", {}, [](std::string& f) { f[0] = 'v'; }},
    {"Version7", {}, [](std::string& f) { f[8] = 7; }},
    {"Version9", {}, [](std::string& f) { f[8] = 9; }},
    {"ShardCount31", {}, [](std::string& f) { f[shardCountAt] = 31; }},
    {"ShardCount33", {}, [](std::string& f) { f[shardCountAt] = 33; }},
    {"RootsInOtherOrder", {}, {}, {"/mnt/data", "/home/u"}},
    {"RootMissing", {}, {}, {"/home/u"}},
    {"RootCaseDiffers", {}, {}, {"/home/U", "/mnt/data"}},
    {"ExpectedRootNotNormalised", {}, {}, {"/home/u", "/mnt/data/"}},
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
     {},
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
    {"ExtraBytesAfterLastBlock", {}, [](std::string& f) { f += "1234567"; }, sampleRoots, true},
};

class ArchiveRejects : public IndexArchiveTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(ArchiveRejects, MalformedOrForeignArchive) {
    Sample s = makeSample();
    if (GetParam().editIndex) GetParam().editIndex(s);
    ASSERT_EQ(save(s.index, *s.names, 0, 0, path()), std::nullopt);
    std::string bytes = readFile(path());
    if (GetParam().editFile) GetParam().editFile(bytes);
    writeFile(path(), bytes);
    auto loaded = load(GetParam().roots, path());
    EXPECT_EQ(loaded.has_value(), GetParam().loads);
    if (loaded) touchEverything(*loaded);
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveRejects, ::testing::ValuesIn(badCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IndexArchiveTest, FailedSaveKeepsThePreviousArchive) {
    const std::string target = IndexArchive::defaultURL();
    const Sample s = makeSample();
    ASSERT_EQ(save(s.index, *s.names, 1, 0, target), std::nullopt);
    // A file-size limit makes the kernel cut the write short, then refuse it with EFBIG.
    const pid_t child = fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{300, 300};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto error = save(s.index, *s.names, 2, 0, target);
        _exit(error && error->find(std::strerror(EFBIG)) != std::string::npos &&
                      error->find(target + ".tmp") != std::string::npos
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(target + ".tmp"));
    // An interrupted save leaves its temporary file; the next lookup sweeps it.
    writeFile(target + ".tmp", "half an archive");
    EXPECT_EQ(IndexArchive::defaultURL(), target);
    EXPECT_FALSE(fs::exists(target + ".tmp"));
    auto loaded = load(sampleRoots, target);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lastEventID, 1u);
}

TEST_F(IndexArchiveTest, SaveReportsThePathAndRemovesItsTemporaryFile) {
    const Sample s = makeSample();
    const auto missing = save(s.index, *s.names, 0, 0, tree.path("absent/index.veskoindex"));
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find(tree.path("absent/index.veskoindex.tmp")), std::string::npos);
    EXPECT_NE(missing->find(std::strerror(ENOENT)), std::string::npos);

    tree.file("occupied/something");
    const auto occupied = save(s.index, *s.names, 0, 0, tree.path("occupied"));
    ASSERT_TRUE(occupied);
    EXPECT_NE(occupied->find("replace"), std::string::npos) << *occupied;
    EXPECT_FALSE(fs::exists(tree.path("occupied.tmp")));
    EXPECT_TRUE(fs::exists(tree.path("occupied/something")));
}

TEST_F(IndexArchiveTest, DefaultURLPreparesTheCacheFolder) {
    const std::string folder = tree.path("cache/vesko");
    EXPECT_EQ(IndexArchive::defaultURL(), folder + "/index.veskoindex");
    struct stat status {};
    ASSERT_EQ(::stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(readFile(folder + "/CACHEDIR.TAG")
                  .rfind("Signature: 8a477f597d28d172789f06886806bc55\n#", 0),
              0u);

    const std::vector<std::string> swept = {"index.veskoindex.tmp", "a.tmp", "files.fileindex",
                                            "index"};
    const std::vector<std::string> kept = {"index.veskoindex", "notes.txt", "INDEX", "index.bak",
                                           "Index.TMP"};
    for (const auto& name : swept)
        tree.file("cache/vesko/" + name);
    for (const auto& name : kept)
        tree.file("cache/vesko/" + name);
    tree.file("cache/vesko/CACHEDIR.TAG", "Signature: 8a477f597d28d172789f06886806bc55\nmine\n");
    IndexArchive::defaultURL();
    for (const auto& name : swept)
        EXPECT_FALSE(fs::exists(folder + "/" + name)) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    EXPECT_EQ(readFile(folder + "/CACHEDIR.TAG"),
              "Signature: 8a477f597d28d172789f06886806bc55\nmine\n");

    // Without an absolute XDG_CACHE_HOME the folder is ~/.cache/vesko.
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
    ::setenv("HOME", tree.path("home").c_str(), 1);
    EXPECT_EQ(IndexArchive::defaultURL(), tree.path("home/.cache/vesko/index.veskoindex"));
    EXPECT_TRUE(fs::exists(tree.path("home/.cache/vesko/CACHEDIR.TAG")));
}

} // namespace
} // namespace vesko
