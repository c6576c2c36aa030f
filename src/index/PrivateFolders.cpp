// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/PrivateFolders.h"

#include <cerrno>
#include <sys/stat.h>

namespace vesko {

int makePrivateFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (at == std::string::npos) break;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

} // namespace vesko
