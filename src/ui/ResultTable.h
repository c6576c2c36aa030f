// SPDX-License-Identifier: GPL-3.0-or-later
// The result list: the store's selection is the view's current row, the rows marked with
// Shift and Ctrl are the store's selectedRows, and every key, click, drag and menu acts
// through the store's file actions. Rows have one fixed height, so a
// list of every hit costs what the rows on screen cost.
#pragma once

#include <QHash>
#include <QTableView>

#include <optional>
#include <vector>

namespace vesko {

class SearchSession;
class FileActionCenter;
class Preferences;
class PreviewWindow;
class ResultActions;
class ResultModel;

class ResultTable : public QTableView {
    Q_OBJECT

public:
    ResultTable(SearchSession& session, FileActionCenter& fileActions, Preferences& preferences,
                PreviewWindow& preview, ResultModel& model, QWidget* parent = nullptr);

    // The commands its keys and its context menu run.
    void setActions(const ResultActions& actions) { actions_ = &actions; }
    // The row's context menu at `where` (view coordinates), for the Menu key and right clicks.
    void showMenu(const QPoint& where);

signals:
    // Up on the first row, Escape or Ctrl+F: the search field should take the keys.
    void searchFieldWanted();

protected:
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void startDrag(Qt::DropActions supported) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    bool handleKey(QKeyEvent* event);
    void followSelection();
    void followMarks();
    void writeMarks();
    std::vector<qint64> markedRows() const;
    void followTextSize();
    void followSort();
    void followColumnWidths();
    void fitColumns();
    int contentWidth(int section) const;
    int boldExtra() const;
    std::optional<std::string> selectedPath() const;

    SearchSession& session_;
    FileActionCenter& fileActions_;
    Preferences& preferences_;
    PreviewWindow& preview_;
    ResultModel& model_;
    const ResultActions* actions_ = nullptr;
    QString columnShape_; // the columns the widths were set for
    // Widths the user dragged a column to, kept when the others are fitted again.
    QHash<int, int> userWidths_;
    bool fitting_ = false;
    bool following_ = false; // the view is being moved to the store's selection
    bool writing_ = false;   // the store is taking the view's marks
};

} // namespace vesko
