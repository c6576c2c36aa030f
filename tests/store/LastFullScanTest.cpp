// SPDX-License-Identifier: MIT
#include "store/LastFullScan.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    // A copy under a new name is parsed afresh; QSettings caches the original per process.
    std::filesystem::copy_file(path, dir.path("copy.conf"));
    Settings reopened(dir.path("copy.conf"));
    EXPECT_DOUBLE_EQ(LastFullScan::read(reopened), 1700000000.25);
}

} // namespace
} // namespace vesko
