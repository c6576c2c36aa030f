// SPDX-License-Identifier: GPL-3.0-or-later
// Shown while the home folder cannot be read (a sandbox without home access): says so, how
// to grant access, and checks again on request.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace vesko {

class IndexLifecycle;

class SandboxNotice : public QFrame {
    Q_OBJECT

public:
    explicit SandboxNotice(IndexLifecycle& lifecycle, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void follow();
    void retranslate();

    IndexLifecycle& lifecycle_;
    QLabel* text_;
    QLabel* explanation_;
    QPushButton* whichOnes_;
    QPushButton* checkAgain_;
    QPushButton* dismiss_;
    bool dismissed_ = false;
};

} // namespace vesko
