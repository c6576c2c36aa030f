// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/Roots.h"

#include "scan/IndexBuilder.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace vesko {
namespace {

// Drops trailing slashes while at least two characters remain, so "/" stays "/".
std::string trimTrailingSlashes(std::string path) {
    while (path.size() >= 2 && path.back() == '/')
        path.pop_back();
    return path;
}

// True when `path` lies strictly below `folder`: it begins with the folder followed by "/".
// Every absolute path lies below "/".
bool isInside(const std::string& path, const std::string& folder) {
    if (folder == "/") return path.size() > 1 && path.front() == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// Appends `path` to `kept` unless it is already covered by a kept folder; kept folders
// that lie inside it are removed first, so the result never nests.
void keepOutermost(std::vector<std::string>& kept, const std::string& path) {
    for (const auto& folder : kept) {
        if (folder == path || isInside(path, folder)) return;
    }
    std::erase_if(kept, [&](const std::string& folder) { return isInside(folder, path); });
    kept.push_back(path);
}

std::string homeOfUser(const std::string& user) {
    const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    const int rc = user.empty()
                       ? getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)
                       : getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (rc != 0 || !found || !found->pw_dir) return {};
    return found->pw_dir;
}

// "~" and "~/rest" use `home`; "~name/rest" uses that user's home folder when the password
// database knows the user, and is left unchanged otherwise.
std::string expandTilde(const std::string& path, const std::string& home) {
    if (path.empty() || path.front() != '~') return path;
    const auto slash = path.find('/');
    const std::string user =
        path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string base = user.empty() ? home : homeOfUser(user);
    if (base.empty()) return path;
    base = trimTrailingSlashes(base);
    if (slash == std::string::npos) return base;
    return (base == "/" ? std::string() : base) + path.substr(slash);
}

} // namespace

const std::vector<std::string>& IndexBuilder::systemExcludedPaths() {
    static const std::vector<std::string> paths = {
        "/System/Volumes",
        "/Volumes",
        "/private/var/vm",
        "/private/var/db/lockdown",
        "/proc",
        "/sys",
        "/dev",
        "/run",
    };
    return paths;
}

std::vector<std::string> IndexBuilder::normalize(const std::vector<std::string>& roots) {
    std::vector<std::string> kept;
    for (const auto& root : roots) {
        const std::string path = trimTrailingSlashes(root);
        if (!path.empty()) keepOutermost(kept, path);
    }
    return kept;
}

ExcludedSet IndexBuilder::excluded(const std::vector<std::string>& roots,
                                   const std::vector<std::string>& excludedFolders) {
    static constexpr const char* perRoot[] = {
        ".Spotlight-V100", ".fseventsd", ".DocumentRevisions-V100", ".TemporaryItems", ".Trashes"};
    ExcludedSet set(systemExcludedPaths().begin(), systemExcludedPaths().end());
    for (const auto& root : roots) {
        const std::string base = root == "/" ? std::string() : root;
        for (const char* folder : perRoot)
            set.insert(base + "/" + folder);
    }
    set.insert(excludedFolders.begin(), excludedFolders.end());
    return set;
}

std::vector<std::string> Exclusions::normalize(const std::vector<std::string>& folders,
                                               const std::string& home) {
    std::vector<std::string> kept;
    for (const auto& folder : folders) {
        const std::string path = trimTrailingSlashes(expandTilde(folder, home));
        if (path.empty() || path == "/") continue;
        keepOutermost(kept, path);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

std::vector<std::string> Exclusions::trashFolders(const std::string& home,
                                                  const std::vector<std::string>& tops) {
    std::vector<std::string> folders;
    // As the base-directory rules say, a relative XDG_DATA_HOME counts as unset.
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string dataHome = data && data[0] == '/'
                                     ? trimTrailingSlashes(data)
                                     : trimTrailingSlashes(home) + "/.local/share";
    folders.push_back((dataHome == "/" ? std::string() : dataHome) + "/Trash");
    const std::string perDisk = ".Trash-" + std::to_string(::getuid());
    for (const std::string& top : tops) {
        const std::string base = trimTrailingSlashes(top);
        if (!base.empty()) folders.push_back((base == "/" ? std::string() : base) + "/" + perDisk);
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

} // namespace vesko
