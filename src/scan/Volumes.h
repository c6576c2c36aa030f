// SPDX-License-Identifier: GPL-3.0-or-later
// Mounted volumes a user may add as extra roots, read from /proc/self/mountinfo. Pseudo
// file systems and the root file system are not volumes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vesko {

struct Volume {
    std::string path;
    std::string name;
    bool isRemovable = false;
    bool isNetwork = false;

    const std::string& id() const { return path; }
    bool operator==(const Volume&) const = default;
};

namespace Volumes {

// The volumes mounted now, sorted by name (stable).
std::vector<Volume> mounted();

// The same from a mountinfo text; removable disks are looked up under sysBlock
// (normally "/sys/block"), so tests can pass a recorded tree.
std::vector<Volume> parseMountInfo(std::string_view mountinfo,
                                   const std::string& sysBlock = "/sys/block");

// Every mount point of a mountinfo text, pseudo file systems included, in the order listed
// and without duplicates: a file system mounted inside an indexed folder hides what was there.
std::vector<std::string> mountPoints(std::string_view mountinfo);

} // namespace Volumes
} // namespace vesko
