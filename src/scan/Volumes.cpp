// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/Volumes.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <unordered_set>

namespace vesko {
namespace {

// File systems that hold no user data: kernel interfaces, memory-backed scratch space,
// container layers, snap images and desktop-session helpers.
const std::unordered_set<std::string_view>& pseudoFileSystems() {
    static const std::unordered_set<std::string_view> types = {
        "proc",
        "sysfs",
        "cgroup",
        "cgroup2",
        "tmpfs",
        "devtmpfs",
        "devpts",
        "mqueue",
        "securityfs",
        "debugfs",
        "tracefs",
        "pstore",
        "bpf",
        "configfs",
        "fusectl",
        "hugetlbfs",
        "autofs",
        "binfmt_misc",
        "efivarfs",
        "rpc_pipefs",
        "nsfs",
        "overlay",
        "squashfs",
        "fuse.portal",
        "fuse.gvfsd-fuse",
        "ramfs",
        "selinuxfs",
        "fuse.lxcfs",
        "fuse.snapfuse",
        "nfsd",
        "cpuset",
        "fuse.xdg-document-portal",
    };
    return types;
}

const std::unordered_set<std::string_view>& networkFileSystems() {
    static const std::unordered_set<std::string_view> types = {
        "nfs", "nfs4", "cifs",      "smb3",       "smbfs", "9p",
        "afs", "ceph", "glusterfs", "fuse.sshfs", "davfs",
    };
    return types;
}

bool isUnder(std::string_view path, std::string_view folder) {
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// Mount points of the system itself, of boot loaders and of package managers' images.
bool isSystemMountPoint(std::string_view path) {
    static constexpr std::array<std::string_view, 7> folders = {
        "/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var/lib/docker"};
    if (path == "/") return true;
    if (isUnder(path, "/run/media")) return false;
    return std::any_of(folders.begin(), folders.end(),
                       [&](std::string_view folder) { return isUnder(path, folder); });
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes space, tab, newline and backslash in a mount point as "\ooo".
std::string decodeOctalEscapes(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) |
                                            ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

bool readsOne(const std::string& file) {
    std::ifstream in(file);
    char c = 0;
    return in.get(c) && c == '1';
}

bool endsWithDigit(std::string_view name) {
    return !name.empty() && name.back() >= '0' && name.back() <= '9';
}

// The disk holding a device node, as named under /sys/block: the device itself when it is
// a whole disk, else the name without its partition number ("sdb1" -> "sdb",
// "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0").
bool isRemovableDevice(std::string_view source, const std::string& sysBlock) {
    if (!source.starts_with("/dev/")) return false;
    std::string name(source.substr(source.rfind('/') + 1));
    if (name.empty()) return false;
    if (readsOne(sysBlock + "/" + name + "/removable")) return true;
    if (!endsWithDigit(name)) return false;
    while (endsWithDigit(name))
        name.pop_back();
    if (name.size() >= 2 && name.back() == 'p' && endsWithDigit(name.substr(0, name.size() - 1)))
        name.pop_back();
    return readsOne(sysBlock + "/" + name + "/removable");
}

std::string lastComponent(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Mount {
    std::string mountPoint;
    std::string_view fsType;
    std::string_view source;
};

// One mountinfo line: "id parent major:minor root mountpoint options [optional...] - fstype
// source superoptions". Lines without the separator or with too few fields are skipped.
std::optional<Mount> parseLine(std::string_view line) {
    const auto fields = splitFields(line);
    const auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 6 || separator == fields.end() ||
        std::distance(separator, fields.end()) < 3)
        return std::nullopt;
    return Mount{decodeOctalEscapes(fields[4]), *(separator + 1), *(separator + 2)};
}

std::optional<Volume> volumeOf(const Mount& mount, const std::string& sysBlock) {
    if (pseudoFileSystems().contains(mount.fsType) || isSystemMountPoint(mount.mountPoint))
        return std::nullopt;
    Volume volume;
    volume.path = mount.mountPoint;
    volume.name = lastComponent(mount.mountPoint);
    volume.isNetwork = networkFileSystems().contains(mount.fsType);
    volume.isRemovable = isUnder(volume.path, "/media") || isUnder(volume.path, "/run/media") ||
                         isRemovableDevice(mount.source, sysBlock);
    return volume;
}

} // namespace

std::vector<Volume> Volumes::parseMountInfo(std::string_view mountinfo,
                                            const std::string& sysBlock) {
    std::vector<Mount> mounts;
    std::size_t start = 0;
    while (start < mountinfo.size()) {
        const std::size_t end = std::min(mountinfo.find('\n', start), mountinfo.size());
        if (auto mount = parseLine(mountinfo.substr(start, end - start))) {
            // A later mount on the same point hides the earlier one, whatever its type.
            std::erase_if(mounts,
                          [&](const Mount& m) { return m.mountPoint == mount->mountPoint; });
            mounts.push_back(std::move(*mount));
        }
        start = end + 1;
    }
    std::vector<Volume> volumes;
    for (const auto& mount : mounts) {
        if (auto volume = volumeOf(mount, sysBlock)) volumes.push_back(std::move(*volume));
    }
    std::stable_sort(volumes.begin(), volumes.end(),
                     [](const Volume& a, const Volume& b) { return a.name < b.name; });
    return volumes;
}

std::vector<std::string> Volumes::mountPoints(std::string_view mountinfo) {
    std::vector<std::string> points;
    std::size_t start = 0;
    while (start < mountinfo.size()) {
        const std::size_t end = std::min(mountinfo.find('\n', start), mountinfo.size());
        if (auto mount = parseLine(mountinfo.substr(start, end - start));
            mount && std::find(points.begin(), points.end(), mount->mountPoint) == points.end())
            points.push_back(std::move(mount->mountPoint));
        start = end + 1;
    }
    return points;
}

std::vector<Volume> Volumes::mounted() {
    std::ifstream in("/proc/self/mountinfo");
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parseMountInfo(text.str());
}

} // namespace vesko
