// SPDX-License-Identifier: GPL-3.0-or-later
// The row of one-click filters above the results: families of file types and folders, and
// calendar date ranges. Each button is the sidebar's own setting seen from here: a click sets
// it, a second click clears it, and a change made in the sidebar shows here at once.
#pragma once

#include "store/SearchOptions.h"

#include <QWidget>

#include <vector>

class QToolButton;

namespace vesko {

class SearchSession;

class QuickFilterBar : public QWidget {
    Q_OBJECT

public:
    explicit QuickFilterBar(SearchSession& session, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Choice {
        QToolButton* button;
        // Whether the filters hold this choice; a click's change is bound to the button.
        bool (*holds)(const Filters&);
        QString (*text)();
    };
    void add(const char* name, bool (*holds)(const Filters&), void (*apply)(Filters&, bool),
             QString (*text)());
    void showFilters();
    void retranslate();

    SearchSession& session_;
    std::vector<Choice> choices_;
};

} // namespace vesko
