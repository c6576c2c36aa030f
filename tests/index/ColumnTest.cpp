// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/Column.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesko {
namespace {

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
