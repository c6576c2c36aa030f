// SPDX-License-Identifier: MIT
#include "index/Column.h"
#include "index/ScratchBuffer.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

namespace vesko {
namespace {

using Region = std::tuple<const std::uint32_t*, std::size_t, std::size_t>;

std::vector<Region> regionsOf(const Column<std::uint32_t>& column) {
    std::vector<Region> regions;
    column.forEachRegion([&](const std::uint32_t* p, std::size_t start, std::size_t length) {
        regions.emplace_back(p, start, length);
    });
    return regions;
}

TEST(Column, MappedAndAppendedPartsReadAsOneRun) {
    const std::array<std::uint32_t, 3> file{10, 11, 12};
    Column<std::uint32_t> column{std::span<const std::uint32_t>(file)};
    column.append(13);
    column.append(14);

    EXPECT_EQ(column.count(), 5u);
    EXPECT_EQ(column.mappedCount(), 3u);
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(column[i], 10 + i);

    const auto regions = regionsOf(column);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(std::get<0>(regions[0]), file.data());
    EXPECT_EQ(std::get<1>(regions[0]), 0u);
    EXPECT_EQ(std::get<2>(regions[0]), 3u);
    EXPECT_EQ(std::get<1>(regions[1]), 3u);
    EXPECT_EQ(std::get<2>(regions[1]), 2u);
    EXPECT_EQ(std::get<0>(regions[1])[1], 14u);

    Column<std::uint32_t> inMemory(std::vector<std::uint32_t>{1, 2});
    ASSERT_EQ(regionsOf(inMemory).size(), 1u);
    EXPECT_EQ(inMemory.mappedCount(), 0u);
    EXPECT_TRUE(regionsOf(Column<std::uint32_t>()).empty());
}

TEST(Column, CopiesShareUntilOneSideWrites) {
    Column<std::uint32_t> original(std::vector<std::uint32_t>{1, 2, 3});
    Column<std::uint32_t> copy = original;
    EXPECT_EQ(copy.extraBase(), original.extraBase()); // shared, not copied

    copy.append(4);
    copy.set(0, 100);
    EXPECT_EQ(original.count(), 3u);
    EXPECT_EQ(original[0], 1u);
    EXPECT_EQ(copy.count(), 4u);
    EXPECT_EQ(copy[0], 100u);

    // The sole owner writes in place.
    const auto* before = original.extraBase();
    original.set(1, 20);
    EXPECT_EQ(original.extraBase(), before);
    EXPECT_EQ(original[1], 20u);
}

TEST(Column, ConcurrentlyReadStorageKeepsOldBuffersUntilReleased) {
    auto column = Column<std::uint8_t>::concurrentlyRead();
    column.append(std::uint8_t{1});
    const std::uint8_t* first = column.extraBase();
    for (int i = 0; i < 1000; ++i)
        column.append(static_cast<std::uint8_t>(i));
    // A reader holding `first` can still read what it saw.
    EXPECT_NE(column.extraBase(), first);
    EXPECT_EQ(first[0], 1);
    column.releaseRetired();
    EXPECT_EQ(column[0], 1);
    EXPECT_EQ(column.count(), 1001u);
}

} // namespace
} // namespace vesko
