// SPDX-License-Identifier: GPL-3.0-or-later
// The top of the search screen: the query field (bound to the store's query), its clear
// button, the recent searches (a button, or Up and Down in the empty field) and the button
// that shows or hides the filters.
#pragma once

#include <QWidget>

class QAction;
class QLineEdit;
class QMenu;
class QToolButton;

namespace vesko {

class SearchSession;
class FileActionCenter;
class Preferences;

class SearchBar : public QWidget {
    Q_OBJECT

public:
    explicit SearchBar(SearchSession& session, FileActionCenter& fileActions,
                       Preferences& preferences, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    // Opens the recent searches under the field; from the keys, with the newest one active.
    void showHistory(bool fromKeys);
    QMenu* historyMenu() const { return historyMenu_; }

signals:
    // Down in the field: the result list should take the keys.
    void listWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void followQuery();
    void followSidebar();
    void fillHistory();
    void pick(const QString& query);
    void retranslate();

    SearchSession& session_;
    FileActionCenter& fileActions_;
    Preferences& preferences_;
    QLineEdit* field_;
    QAction* search_;
    QAction* clear_;
    QAction* history_;
    QMenu* historyMenu_;
    QToolButton* sidebar_;
};

} // namespace vesko
