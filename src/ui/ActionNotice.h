// SPDX-License-Identifier: GPL-3.0-or-later
// The line under the search field after a trash or a rename: what moved where, with Undo
// (the Edit menu's Undo, Ctrl+Z, does the same from the list). Shown while the store can
// still take the action back; closing it forgets the action.
#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QToolButton;

namespace vesko {

class FileActionCenter;

class ActionNotice : public QFrame {
    Q_OBJECT

public:
    explicit ActionNotice(FileActionCenter& fileActions, QWidget* parent = nullptr);

    QString text() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void follow();

    FileActionCenter& fileActions_;
    QLabel* text_;
    QPushButton* undo_;
    QToolButton* close_;
};

} // namespace vesko
