// SPDX-License-Identifier: MIT
#include "scan/Volumes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vesko {
namespace {

std::string dataDir() {
    if (const char* source = std::getenv("VESKO_SOURCE_DIR"); source && *source)
        return std::string(source) + "/tests/scan/data";
    return (std::filesystem::path(__FILE__).parent_path() / "data").string();
}

std::string readData(const std::string& name) {
    std::ifstream in(dataDir() + "/" + name);
    EXPECT_TRUE(in) << "missing test data " << dataDir() << "/" << name;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<Volume> desktopVolumes() {
    return Volumes::parseMountInfo(readData("mountinfo-desktop.txt"), dataDir() + "/sys-block");
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
// know, and sources that are not device nodes, are fixed.
TEST(VolumesTest, RemovableResolvesTheDiskOfThePartition) {
    const std::pair<const char*, bool> cases[] = {
        {"/dev/sdb1", true},       {"/dev/sdb", true},       {"/dev/sdb12", true},
        {"/dev/sda1", false},      {"/dev/mmcblk0p1", true}, {"/dev/mmcblk0", true},
        {"/dev/nvme0n1p2", false}, {"/dev/sdz1", false},     {"/dev/mapper/luks-1", false},
        {"sdb1", false},           {"/dev/", false},
    };
    for (const auto& [source, removable] : cases) {
        const std::string line = std::string("50 1 8:1 / /mnt/x rw - ext4 ") + source + " rw\n";
        const auto volumes = Volumes::parseMountInfo(line, dataDir() + "/sys-block");
        ASSERT_EQ(volumes.size(), 1u) << source;
        EXPECT_EQ(volumes[0].isRemovable, removable) << source;
    }
}

TEST(VolumesTest, MountPointsUnderMediaAreRemovableWhateverTheDevice) {
    const auto volumes = Volumes::parseMountInfo("1 1 0:1 / /media/disk rw - ext4 /dev/zzz rw\n"
                                                 "2 1 0:1 / /mediafiles rw - ext4 /dev/zzz rw\n",
                                                 "/nonexistent");
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_TRUE(volumes[0].isRemovable);  // "disk"
    EXPECT_FALSE(volumes[1].isRemovable); // "mediafiles" only shares a prefix
}

TEST(VolumesTest, LiveMountTableHoldsNoSystemMounts) {
    for (const auto& volume : Volumes::mounted()) {
        EXPECT_NE(volume.path, "/");
        for (const char* system : {"/proc", "/sys", "/dev", "/boot", "/snap"}) {
            EXPECT_NE(volume.path.rfind(std::string(system) + "/", 0), 0u) << volume.path;
        }
        EXPECT_FALSE(volume.name.empty()) << volume.path;
    }
}

} // namespace
} // namespace vesko
