// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/IndexNavigator.h"
#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "support/MemoryIndex.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace vesko {
namespace {

using Ids = std::vector<std::uint32_t>;
using Found = std::optional<std::uint32_t>;

struct Tree : test::MemoryIndex {
    IndexNavigator navigator;

    std::uint32_t dir(std::uint32_t parent, const std::string& name) {
        return folder(name, parent);
    }
    Found resolve(const std::string& path) { return navigator.directory(path, index, names); }
};

TEST(IndexNavigator, OneRootWithoutEntriesThenADirectoryAddedAfterTheBuild) {
    Tree t;
    t.root("/r");
    EXPECT_FALSE(t.navigator.isReady());
    ASSERT_TRUE(t.navigator.build(t.index));
    EXPECT_TRUE(t.navigator.isReady());
    EXPECT_TRUE(t.navigator.entries(0).empty());

    const auto late = t.dir(0, "late");
    t.file("f", late);
    EXPECT_TRUE(t.navigator.entries(late).empty());
    EXPECT_TRUE(t.navigator.childDirectories(late).empty());
    EXPECT_TRUE(t.navigator.childDirectories(0).empty());
    EXPECT_EQ(t.resolve("/r/late"), std::nullopt);
    EXPECT_EQ(t.resolve("/r/"), 0u);
}

// Roots "/data", "/data/archive" (nested), "/mnt/Über" (NFC) and "/"; "Sub" and "sub" side by side.
struct LookupTree : Tree {
    std::uint32_t data = root("/data"), archiveRoot = root("/data/archive"),
                  mnt = root("/mnt/\u00DCber");
    std::uint32_t slash = root("/"), archive = dir(data, "archive"), upper = dir(data, "Sub");
    std::uint32_t lower = dir(data, "sub"), cafe = dir(data, "Caf\u00E9"),
                  deep = dir(upper, "deep");
    std::uint32_t xInRoot = dir(archiveRoot, "x"), xInFolder = dir(archive, "x"),
                  a = dir(slash, "a");
    LookupTree() {
        file("notadir", data);
        navigator.build(index);
    }
};

TEST(IndexNavigator, ResolvesPathsToDirectories) {
    LookupTree t;
    // clang-format off
    const std::pair<std::string, Found> cases[] = {
        {"/data", t.data}, {"/data/", t.data}, {"/data/archive", t.archiveRoot},
        {"/data/archive/x", t.xInRoot}, // longest root first
        {"/data/archive//x/", t.xInRoot}, {"/data//Sub///deep/", t.deep},
        {"/data/SUB", t.upper},     // lowest id among case variants
        {"/data/sub/DEEP", t.deep}, // ...even though "sub" was named
        {"/data/CAFE\u0301", t.cafe}, {"/mnt/U\u0308ber", t.mnt}, {"/", t.slash}, {"//a/", t.a},
        {"/mnt/\u00FCber", std::nullopt}, // root prefix is case-sensitive, and "/" has no "mnt"
        {"/Data/Sub", std::nullopt}, {"/database", std::nullopt}, {"/data/notadir", std::nullopt},
        {"/data/missing/deep", std::nullopt}, {"data/Sub", std::nullopt}, {"", std::nullopt},
    };
    // clang-format on
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(t.resolve(path), expected) << path;
}

// Where the path of `d` must resolve, by scanning every directory: its chain of lowercase names
// followed down from its root, taking the lowest-id match at each step without backtracking.
Found scanResolve(const Tree& t, std::uint32_t d) {
    std::vector<std::string_view> chain;
    for (; t.index.dirParent[d] != d; d = t.index.dirParent[d])
        chain.push_back(t.names.foldedBytes(t.index.dirName[d]));
    Found at = d;
    for (auto name = chain.rbegin(); name != chain.rend() && at; ++name) {
        const std::uint32_t parent = *std::exchange(at, std::nullopt);
        for (std::uint32_t c = t.index.directoryCount(); c-- > 0;)
            if (c != parent && t.index.dirParent[c] == parent &&
                t.names.foldedBytes(t.index.dirName[c]) == *name)
                at = c;
    }
    return at;
}

TEST(IndexNavigator, MatchesABruteForceScanOfTheColumns) {
    std::mt19937 random(static_cast<std::uint32_t>(
        test::testSeed("IndexNavigator.MatchesABruteForceScanOfTheColumns")));
    const char* const names[] = {"a", "A", "b", "B", "\u00E9t\u00E9", "\u00C9T\u00C9"};
    Ids parents, dirs;
    Tree t;
    for (std::uint32_t d = 0; d < 400; ++d) {
        parents.push_back(d < 3 ? d : static_cast<std::uint32_t>(random() % d));
        t.index.dirName.append(d < 3 ? t.names.intern("/r" + std::to_string(d))
                                     : t.names.intern(names[random() % 6]));
        if (d < 3) t.index.rootPaths[d] = "/r" + std::to_string(d);
    }
    for (int e = 0; e < 3000; ++e)
        dirs.push_back(static_cast<std::uint32_t>(random() % parents.size()));
    // Leading halves served as if mapped from an archive, the rest appended.
    t.index.dirParent = Column<std::uint32_t>(std::span<const std::uint32_t>(parents).first(200));
    t.index.dirParent.append(std::span<const std::uint32_t>(parents).subspan(200));
    t.index.entryDir = Column<std::uint32_t>(std::span<const std::uint32_t>(dirs).first(1700));
    t.index.entryDir.append(std::span<const std::uint32_t>(dirs).subspan(1700));
    ASSERT_TRUE(t.navigator.build(t.index));

    for (std::uint32_t d = 0; d < parents.size(); ++d) {
        Ids children, entries;
        for (std::uint32_t c = 0; c < parents.size(); ++c)
            if (c != d && parents[c] == d) children.push_back(c);
        for (std::uint32_t e = 0; e < dirs.size(); ++e)
            if (dirs[e] == d) entries.push_back(e);
        ASSERT_EQ(t.navigator.childDirectories(d), children) << d;
        ASSERT_EQ(t.navigator.entries(d), entries) << d;
        ASSERT_EQ(t.resolve(t.index.pathOfDirectory(d, t.names)), scanResolve(t, d)) << d;
    }
}

} // namespace
} // namespace vesko
