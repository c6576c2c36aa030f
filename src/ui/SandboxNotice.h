// SPDX-License-Identifier: MIT
// Shown while the home folder cannot be read (a sandbox without home access): says so, how
// to grant access, and checks again on request.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace vesko {

class IndexStore;

class SandboxNotice : public QFrame {
    Q_OBJECT

public:
    explicit SandboxNotice(IndexStore& store, QWidget* parent = nullptr);

private:
    void follow();

    IndexStore& store_;
    QLabel* explanation_;
    QPushButton* whichOnes_;
    bool dismissed_ = false;
};

} // namespace vesko
