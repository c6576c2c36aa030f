// SPDX-License-Identifier: GPL-3.0-or-later
// The store's problems in one place above the results, each worded here in the language of
// now: preferences that could not be read or saved, a build or an update that failed, a
// folder where the index file belongs. Closing it clears the list.
#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace vesko {

class StoreProblems;
struct StoreProblem;

class ProblemNotice : public QFrame {
    Q_OBJECT

public:
    explicit ProblemNotice(StoreProblems& problems, QWidget* parent = nullptr);

    QString text() const;
    static QString sentence(const StoreProblem& problem);

protected:
    void changeEvent(QEvent* event) override;

private:
    void follow();

    StoreProblems& problems_;
    QLabel* text_;
    QToolButton* close_;
};

} // namespace vesko
