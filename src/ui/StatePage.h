// SPDX-License-Identifier: GPL-3.0-or-later
// The message shown in place of the result list: a title, a note and, when filters hide
// every result, the button that clears them.
#pragma once

#include "ui/ContentState.h"

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace vesko {

class SearchSession;

class StatePage : public QWidget {
    Q_OBJECT

public:
    explicit StatePage(SearchSession& session, QWidget* parent = nullptr);

    void showState(ContentState state);
    QString title() const;
    QString note() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void set(const QString& icon, const QString& title, const QString& note);

    SearchSession& session_;
    QLabel* icon_;
    QLabel* title_;
    QLabel* note_;
    QPushButton* clearFilters_;
    std::optional<ContentState> shown_;
};

} // namespace vesko
