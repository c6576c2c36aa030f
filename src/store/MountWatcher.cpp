// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/MountWatcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

namespace vesko {

MountWatcher::MountWatcher(QObject* parent) : QObject(parent) {}

MountWatcher::~MountWatcher() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

bool MountWatcher::watch(const std::string& path) {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    // The flag stays raised until the file has been read to its end once.
    readAll();
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Exception);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        readAll();
        emit changed();
    });
    return true;
}

void MountWatcher::readAll() {
    char buffer[8192];
    ::lseek(fd_, 0, SEEK_SET);
    while (::read(fd_, buffer, sizeof buffer) > 0) {
    }
}

} // namespace vesko
