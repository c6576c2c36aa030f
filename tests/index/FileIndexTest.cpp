// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "support/MemoryIndex.h"

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

// root 0 (path given by the test) -> dir "X" (1) -> entries; the root's path is left out of
// `rootPaths` when `recordRoot` is false.
struct SmallIndex : test::MemoryIndex {
    explicit SmallIndex(const std::string& rootPath, bool recordRoot = true) {
        root(rootPath);
        if (!recordRoot) index.rootPaths.clear();
        folder("X");
        file("a");
        file("B.txt", 1);
    }
};

TEST(FileIndex, PathsUnderRootsAndSlash) {
    SmallIndex home("/home/u");
    EXPECT_EQ(home.index.path(1, home.names), "/home/u/a");
    EXPECT_EQ(home.index.path(2, home.names), "/home/u/X/B.txt");
    EXPECT_EQ(home.index.pathOfDirectory(0, home.names), "/home/u");
    EXPECT_EQ(home.index.pathOfDirectory(1, home.names), "/home/u/X");

    SmallIndex slash("/");
    EXPECT_EQ(slash.index.path(1, slash.names), "/a");
    EXPECT_EQ(slash.index.pathOfDirectory(0, slash.names), "/");
    EXPECT_EQ(slash.index.pathOfDirectory(1, slash.names), "/X");

    SmallIndex unrecorded("/somewhere", false);
    EXPECT_EQ(unrecorded.index.path(2, unrecorded.names), "/X/B.txt");
    EXPECT_EQ(unrecorded.index.pathOfDirectory(0, unrecorded.names), "/");

    SmallIndex accented("/Média/Ünï"); // the folded path folds the root too
    EXPECT_EQ(accented.index.foldedPath(2, accented.names), "/media/uni/x/b.txt");
}

} // namespace
} // namespace vesko
