// SPDX-License-Identifier: GPL-3.0-or-later
// Tells the store when the set of mounts changes. The kernel flags a change of
// /proc/self/mountinfo as an exceptional condition (POLLPRI) on an open descriptor of it,
// which a socket notifier of the exception type turns into a signal on the main thread.
#pragma once

#include <QObject>

#include <memory>
#include <string>

class QSocketNotifier;

namespace vesko {

class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

    // Watches the file at `path`; false (and nothing watched) when it cannot be opened.
    bool watch(const std::string& path);
    bool isWatching() const { return fd_ >= 0; }

signals:
    void changed();

private:
    void readAll();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vesko
