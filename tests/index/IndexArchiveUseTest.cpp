// SPDX-License-Identifier: MIT
// A search-only load must give the same index as an updatable one while copying nothing.
#include "index/IndexArchive.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesko {
namespace {

template <class T> std::vector<T> elementsOf(const Column<T>& column) {
    std::vector<T> out;
    for (std::size_t i = 0; i < column.count(); ++i)
        out.push_back(column[i]);
    return out;
}

TEST(IndexArchiveUse, SearchOnlyLoadsTheSameColumnsWithoutCopyingThem) {
    FileIndex index;
    NameTable names;
    index.dirParent.append(0);
    index.dirName.append(names.intern("/r"));
    index.rootPaths = {{0, "/r"}};
    for (std::uint32_t i = 0; i < 100; ++i) {
        std::string name = "n";
        name += std::to_string(i % 7);
        index.appendEntry(names.intern(name), 0,
                          i % 3 ? EntryFlags::none() : EntryFlags::directory(), i * 11, i, i + 1,
                          i + 2);
    }
    test::TempTree folder;
    const std::string path = folder.path("index.veskoindex");
    ASSERT_FALSE(IndexArchive::save(index, names, 0, 0, path));

    const auto updatable = IndexArchive::load({"/r"}, path);
    const auto searchOnly = IndexArchive::load({"/r"}, path, IndexArchive::Use::searchOnly);
    ASSERT_TRUE(updatable && searchOnly);
    const FileIndex& a = updatable->index;
    const FileIndex& b = searchOnly->index;
    EXPECT_EQ(a.entryFlags.mappedCount(), 0u);
    EXPECT_EQ(b.entryFlags.mappedCount(), 100u);
    EXPECT_EQ(b.entryAccessed.mappedCount(), 100u);
    EXPECT_EQ(elementsOf(a.entryFlags), elementsOf(b.entryFlags));
    for (auto column : {&FileIndex::entryName, &FileIndex::entryDir, &FileIndex::entrySize,
                        &FileIndex::entryModified, &FileIndex::entryCreated,
                        &FileIndex::entryAccessed, &FileIndex::dirParent, &FileIndex::dirName})
        EXPECT_EQ(elementsOf(a.*column), elementsOf(b.*column));
    EXPECT_EQ(elementsOf(b.entrySize), elementsOf(index.entrySize));
    EXPECT_EQ(b.checkInvariants(), "");
}

} // namespace
} // namespace vesko
