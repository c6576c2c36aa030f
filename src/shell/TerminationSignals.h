// SPDX-License-Identifier: GPL-3.0-or-later
// Turns SIGTERM and SIGINT into a signal on the main thread, so that the event loop ends
// normally and the store's final save runs, instead of the process dying mid-way. The
// handler only writes one byte to a pipe; everything else happens on the main thread.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vesko {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // One instance per process; installs the handlers, and restores the previous ones when it
    // goes.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void requested(int signalNumber);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vesko
