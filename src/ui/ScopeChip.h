// SPDX-License-Identifier: GPL-3.0-or-later
// The folder the searches are limited to, shown above the results as a chip: "In:" and the
// path as the window draws paths, cut in the middle, whole in the tooltip. A folder outside
// the indexed ones shows its reading with a Cancel, then offers to join the indexed folders.
// The clear button, or Backspace in the empty search field, returns to the whole index.
#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace vesko {

class Preferences;
class SearchScope;

class ScopeChip : public QWidget {
    Q_OBJECT

public:
    ScopeChip(SearchScope& scope, Preferences& preferences, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void showPath();

    SearchScope& scope_;
    Preferences& preferences_;
    QLabel* prefix_;
    QLabel* path_;
    QLabel* state_;
    QToolButton* cancel_;
    QToolButton* add_;
    QToolButton* clear_;
    QString pathText_;
};

} // namespace vesko
