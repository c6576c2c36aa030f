// SPDX-License-Identifier: MIT
#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

TEST(PackedSize, EdgesOfTheTwoEncodings) {
    struct Case {
        std::uint64_t bytes;
        std::uint32_t packed;
        std::uint64_t unpacked;
    };
    const Case cases[] = {
        {0, 0, 0},
        {2'147'483'647ull, 0x7FFFFFFFu, 2'147'483'647ull},
        {2'147'483'648ull, 0x80200000u, 2'147'483'648ull},
        {2'147'484'671ull, 0x80200000u, 2'147'483'648ull}, // whole KiB, rounded down
        {(1ull << 41) - 1024, 0xFFFFFFFFu, 2'199'023'254'528ull},
        {1ull << 41, 0xFFFFFFFFu, 2'199'023'254'528ull},
        {~0ull, 0xFFFFFFFFu, 2'199'023'254'528ull},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PackedSize::pack(c.bytes), c.packed) << c.bytes;
        EXPECT_EQ(PackedSize::unpack(c.packed), c.unpacked) << c.bytes;
    }
}

TEST(DateEncoding, ClampsToUnsigned32BitSeconds) {
    EXPECT_EQ(clampSeconds(-1), 0u);
    EXPECT_EQ(clampSeconds(0), 0u);
    EXPECT_EQ(clampSeconds(1'700'000'000), 1'700'000'000u);
    EXPECT_EQ(clampSeconds(5'000'000'000), 0xFFFFFFFFu);
}

TEST(EntryFlags, SetOperations) {
    EntryFlags f = EntryFlags::directory() | EntryFlags::deleted();
    EXPECT_TRUE(f.contains(EntryFlags::directory()));
    EXPECT_FALSE(f.contains(EntryFlags::symlink()));
    EXPECT_TRUE(EntryFlags::deleted().isSubset(f));
    f.remove(EntryFlags::deleted());
    EXPECT_EQ(f, EntryFlags::directory());
    EXPECT_EQ(f.rawValue, 1);
}

// root 0 (path given by the test) -> dir "x" (1) -> entries; plus root 1 "/" or missing.
struct SmallIndex {
    NameTable names;
    FileIndex index;

    explicit SmallIndex(const std::string& rootPath, bool recordRoot = true) {
        index.dirParent.append(0u);
        index.dirName.append(names.intern(rootPath));
        if (recordRoot) index.rootPaths[0] = rootPath;
        index.dirParent.append(0u);
        index.dirName.append(names.intern("X"));
        add("X", 0, EntryFlags::directory());
        add("a", 0);
        add("B.txt", 1);
    }
    void add(const std::string& name, std::uint32_t dir, EntryFlags flags = {}) {
        index.appendEntry(names.intern(name), dir, flags, 0, 0, 0, 0);
    }
};

TEST(FileIndex, PathsUnderRootsAndSlash) {
    SmallIndex home("/home/u");
    EXPECT_EQ(home.index.path(1, home.names), "/home/u/a");
    EXPECT_EQ(home.index.path(2, home.names), "/home/u/X/B.txt");
    EXPECT_EQ(home.index.foldedPath(2, home.names), "/home/u/x/b.txt");
    EXPECT_EQ(home.index.pathOfDirectory(0, home.names), "/home/u");
    EXPECT_EQ(home.index.pathOfDirectory(1, home.names), "/home/u/X");

    SmallIndex slash("/");
    EXPECT_EQ(slash.index.path(1, slash.names), "/a");
    EXPECT_EQ(slash.index.pathOfDirectory(0, slash.names), "/");
    EXPECT_EQ(slash.index.pathOfDirectory(1, slash.names), "/X");

    SmallIndex unrecorded("/somewhere", false);
    EXPECT_EQ(unrecorded.index.path(2, unrecorded.names), "/X/B.txt");
    EXPECT_EQ(unrecorded.index.pathOfDirectory(0, unrecorded.names), "/");
}

TEST(FileIndex, LowercasedPathFoldsTheRootToo) {
    SmallIndex index("/Média/Ünï");
    EXPECT_EQ(index.index.foldedPath(2, index.names), "/média/ünï/x/b.txt");
}

TEST(FileIndex, PayloadAndBreakdown) {
    SmallIndex small("/r");
    EXPECT_EQ(small.index.payloadBytes(), 4 * (2 + 2 + 6 * 3) + 3);
    const auto breakdown = small.index.memoryBreakdown(small.names);
    ASSERT_EQ(breakdown.size(), 11u);
    EXPECT_EQ(breakdown[0].first, "항목 · 이름 id (4B)");
    EXPECT_EQ(breakdown[0].second, 12);
    EXPECT_EQ(breakdown[6].second, 3);
    EXPECT_EQ(breakdown[7].first, "디렉터리 표 (8B)");
    EXPECT_EQ(breakdown[7].second, 16);
    EXPECT_EQ(breakdown[8].second, small.names.nameBytes());
    EXPECT_EQ(small.index.checkInvariants(), "");
}

TEST(FileIndex, CopyIsASnapshot) {
    SmallIndex small("/r");
    const FileIndex snapshot = small.index;
    small.add("new", 0);
    small.index.entryFlags.set(0, EntryFlags::deleted().rawValue);
    EXPECT_EQ(snapshot.count(), 3);
    EXPECT_EQ(snapshot.flags(0), EntryFlags::directory());
    EXPECT_EQ(small.index.count(), 4);
}

TEST(ContainsBytes, EmptyAndLongNeedles) {
    EXPECT_TRUE(containsBytes("", ""));
    EXPECT_TRUE(containsBytes("abc", ""));
    EXPECT_TRUE(containsBytes("a/docs/readme", "docs/read"));
    EXPECT_FALSE(containsBytes("ab", "abc"));
    EXPECT_FALSE(containsBytes("mydocs2/readme", "docs/read"));
}

} // namespace
} // namespace vesko
