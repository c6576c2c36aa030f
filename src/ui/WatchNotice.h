// SPDX-License-Identifier: GPL-3.0-or-later
// What the watcher cannot keep up with, where the user sees it: folders past the system's
// inotify limit (with the command that raises it), an event overflow being recovered, a
// searched folder that is gone.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace vesko {

class IndexLifecycle;

class WatchNotice : public QFrame {
    Q_OBJECT

public:
    explicit WatchNotice(IndexLifecycle& lifecycle, QWidget* parent = nullptr);

    QString text() const;
    // The command that raises the limit, or empty while the limit is not reached.
    QString command() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void follow();

    IndexLifecycle& lifecycle_;
    QLabel* text_;
    QLabel* command_;
    QPushButton* copy_;
};

} // namespace vesko
