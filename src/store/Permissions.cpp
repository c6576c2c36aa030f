// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Permissions.h"

#include "scan/IndexBuilder.h"
#include "scan/Roots.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vesko::Permissions {

int openError(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

Status check() {
    return check(homeFolder());
}

Status check(const std::string& home) {
    bool refused = false;
    for (const std::string_view probe : probes) {
        const int error = openError(home + "/" + std::string(probe));
        if (error == 0) return Status::granted;
        refused = refused || error == EPERM || error == EACCES;
    }
    return refused ? Status::denied : Status::unknown;
}

bool looksBlind(const IndexBuilder::Report& report) {
    return report.deniedDirectories > blindThreshold;
}

std::string_view rawText(Status status) {
    switch (status) {
    case Status::granted:
        return "granted";
    case Status::denied:
        return "denied";
    case Status::unknown:
        break;
    }
    return "unknown";
}

} // namespace vesko::Permissions
