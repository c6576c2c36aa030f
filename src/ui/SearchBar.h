// SPDX-License-Identifier: MIT
// The top of the search screen: the query field (bound to the store's query), its clear
// button and the button that shows or hides the filters.
#pragma once

#include <QWidget>

class QAction;
class QLineEdit;
class QToolButton;

namespace vesko {

class IndexStore;

class SearchBar : public QWidget {
    Q_OBJECT

public:
    explicit SearchBar(IndexStore& store, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }

signals:
    // Down in the field: the result list should take the keys.
    void listWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followQuery();
    void followSidebar();

    IndexStore& store_;
    QLineEdit* field_;
    QAction* clear_;
    QToolButton* sidebar_;
};

} // namespace vesko
