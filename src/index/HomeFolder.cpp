// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/HomeFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vesko {
namespace {

std::string fromPasswordDatabase() {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

} // namespace

std::string homeFolder() {
    const char* variable = std::getenv("HOME");
    std::string home = variable && *variable ? variable : fromPasswordDatabase();
    while (home.size() >= 2 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string cacheHome() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') return cache;
    const std::string home = homeFolder();
    return (home == "/" ? std::string() : home) + "/.cache";
}

} // namespace vesko
