// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LastFullScan.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <gtest/gtest.h>

namespace vesko {
namespace {

TEST(LastFullScan, AbsentOrGarbledReadsAsDueAndATimeSurvivesTheFile) {
    test::TempTree dir;
    const std::string path = dir.path("vesko.conf");
    {
        Settings settings(path);
        EXPECT_EQ(LastFullScan::read(settings), LastFullScan::distantPast);
        settings.setText(LastFullScan::key, "yesterday");
        EXPECT_EQ(LastFullScan::read(settings), LastFullScan::distantPast);
        LastFullScan::write(settings, 1700000000.25);
        ASSERT_TRUE(settings.sync());
    }
    Settings reopened(test::reopened(dir, path));
    EXPECT_DOUBLE_EQ(LastFullScan::read(reopened), 1700000000.25);
}

} // namespace
} // namespace vesko
