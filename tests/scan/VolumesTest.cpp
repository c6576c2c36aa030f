// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/Volumes.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

namespace vesko {
namespace {

std::string dataDir() {
    if (const char* source = std::getenv("VESKO_SOURCE_DIR"); source && *source)
        return std::string(source) + "/tests/scan/data";
    return (std::filesystem::path(__FILE__).parent_path() / "data").string();
}

std::vector<Volume> desktopVolumes() {
    const std::string text = test::readFile(dataDir() + "/mountinfo-desktop.txt");
    EXPECT_FALSE(text.empty()) << "missing test data in " << dataDir();
    return Volumes::parseMountInfo(text, dataDir() + "/sys-block");
}

// The recorded desktop: pseudo file systems, /boot, snaps, docker layers, session helpers
// under /run/user, a mount hidden by a later tmpfs and two malformed lines all drop out;
// the last line has no newline.
TEST(VolumesTest, RecordedDesktopGivesExactlyTheUserVolumesSortedByName) {
    const std::vector<Volume> expected = {
        {"/run/media/me/CAMERA", "CAMERA", true, false},
        {"/media/me/My Stick", "My Stick", true, false},
        {"/srv/archive", "archive", false, false},
        {"/mnt/back\\slash", "back\\slash", false, false},
        {"/mnt/backup", "backup", true, false},
        {"/home", "home", false, false},
        {"/mnt/nas", "nas", false, true},
        {"/mnt/no newline", "no newline", false, false},
        {"/mnt/office", "office", false, true},
        {"/home/me/remote", "remote", false, true},
        {"/mnt/sd\tcard", "sd\tcard", true, false},
    };
    const auto volumes = desktopVolumes();
    ASSERT_EQ(volumes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(volumes[i], expected[i]) << "at " << i << ": " << volumes[i].path;
    }
}

// Partitions resolve to their disk under the fake /sys/block; devices the tree does not
// know, and sources that are not device nodes, are fixed. Mount points under /media are
// removable whatever the device.
TEST(VolumesTest, RemovableResolvesTheDiskOfThePartition) {
    // clang-format off
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/mnt/x", "/dev/sdb12", true},          {"/mnt/x", "/dev/sda1", false},
        {"/mnt/x", "/dev/mmcblk0p1", true},      {"/mnt/x", "/dev/nvme0n1p2", false},
        {"/mnt/x", "/dev/mapper/luks-1", false}, {"/mnt/x", "sdb1", false},
        {"/mnt/x", "/dev/", false},              {"/media/disk", "/dev/zzz", true},
        {"/mediafiles", "/dev/zzz", false}, // only shares a prefix
    };
    // clang-format on
    for (const auto& [mountPoint, source, removable] : cases) {
        const std::string line =
            std::string("50 1 8:1 / ") + mountPoint + " rw - ext4 " + source + " rw\n";
        const auto volumes = Volumes::parseMountInfo(line, dataDir() + "/sys-block");
        ASSERT_EQ(volumes.size(), 1u) << source;
        EXPECT_EQ(volumes[0].isRemovable, removable) << mountPoint << " " << source;
    }
}

} // namespace
} // namespace vesko
