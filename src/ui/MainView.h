// SPDX-License-Identifier: GPL-3.0-or-later
// The search screen: query field, filters sidebar, result list, detail and status bars.
// It observes the store and calls its operations; it keeps only what is on screen.
#pragma once

#include <QWidget>

class QLabel;
class QMessageBox;
class QSplitter;
class QStackedWidget;

namespace vesko {

class DetailBar;
class IconCache;
class IndexStore;
class PreviewWindow;
class ResultActions;
class ResultModel;
class ResultTable;
class SearchBar;
class SidebarView;
class StatePage;
class StatusBar;

class MainView : public QWidget {
    Q_OBJECT

public:
    MainView(IndexStore& store, PreviewWindow& preview, QWidget* parent = nullptr);
    // Closing the window while it is destroyed moves the application's focus: the handler
    // of that must be gone before the members it reads.
    ~MainView() override;

    ResultModel& model() const { return *model_; }
    ResultTable& table() const { return *table_; }
    // The commands on the results, for the menu bar.
    ResultActions& actions() const { return *actions_; }

    // The search field, or the result list, takes the keyboard (the shell's requests).
    void focusSearch();
    void focusList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QMetaObject::Connection focusFollower_;
    void retranslate();
    QWidget* buildResultsPage();
    void connectFocus();
    void followContent();
    void followSidebar();
    void followActionProblem();
    void confirmOpen(qint64 count);

    IndexStore& store_;
    PreviewWindow& preview_;
    IconCache* icons_;
    ResultModel* model_;
    SearchBar* searchBar_;
    SidebarView* sidebar_;
    QStackedWidget* content_;
    StatePage* statePage_;
    ResultTable* table_;
    ResultActions* actions_;
    DetailBar* detailBar_;
    StatusBar* statusBar_;
    QMessageBox* problem_ = nullptr;
    QMessageBox* openMany_ = nullptr;
    bool listWanted_ = false; // a Down typed before the query's rows came
};

} // namespace vesko
