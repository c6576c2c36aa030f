// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SearchIn.h"

#include "app/EntryPoint.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vesko::SearchIn {
namespace {

std::string workingFolder() {
    struct stat here {
    }, shell{};
    const char* pwd = std::getenv("PWD");
    if (pwd && pwd[0] == '/' && ::stat(".", &here) == 0 && ::stat(pwd, &shell) == 0 &&
        here.st_dev == shell.st_dev && here.st_ino == shell.st_ino)
        return pwd;
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Bytes, not std::filesystem: a name that is not UTF-8 must come through as it is.
std::string normalized(const std::string& absolute) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= absolute.size()) {
        std::size_t slash = absolute.find('/', from);
        if (slash == std::string::npos) slash = absolute.size();
        const std::string part = absolute.substr(from, slash - from);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        from = slash + 1;
    }
    std::string path;
    for (const std::string& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

} // namespace

Folder resolve(const std::string& dir) {
    Folder folder;
    if (dir.empty()) {
        folder.problem = "no folder given";
        return folder;
    }
    folder.path = normalized(dir.front() == '/' ? dir : workingFolder() + "/" + dir);
    struct stat info {};
    if (::stat(folder.path.c_str(), &info) != 0)
        folder.problem = std::strerror(errno);
    else if (!S_ISDIR(info.st_mode))
        folder.problem = std::strerror(ENOTDIR);
    else if (::access(folder.path.c_str(), R_OK | X_OK) != 0)
        folder.problem = std::strerror(errno);
    return folder;
}

std::optional<Arguments> checked(const Arguments& args) {
    const Arguments options = EntryPoint::optionsOf(args);
    const auto flag = std::find(options.begin(), options.end(), "--search-in");
    if (flag == options.end()) return args;
    if (flag + 1 == options.end()) {
        std::fputs("vesko: --search-in needs a folder\n", stderr);
        return std::nullopt;
    }
    const Folder folder = resolve(*(flag + 1));
    if (!folder.problem.empty()) {
        std::fprintf(stderr, "vesko: cannot search in %s: %s\n", (flag + 1)->c_str(),
                     folder.problem.c_str());
        return std::nullopt;
    }
    Arguments resolved = args;
    resolved[static_cast<std::size_t>(flag - options.begin()) + 1] = folder.path;
    return resolved;
}

} // namespace vesko::SearchIn
