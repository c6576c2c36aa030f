// SPDX-License-Identifier: GPL-3.0-or-later
// The result list's table: one row per hit of the store's list, one column per visible field.
// It asks the list for the rows the view draws and keeps none itself. A new search resets it;
// another answer to the same search (a change on disk, a trash) is followed by range: the
// rows that left are removed and the rows that came are inserted, so the view keeps its
// scroll position, focus and marks on their files.
#pragma once

#include "store/ResultList.h"
#include "store/SearchOptions.h"
#include "store/SearchRow.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class IconCache;
class SearchSession;
class Preferences;

class ResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Column { name, kind, size, modified, created, accessed, path };
    // The row's full path, for drags and tool tips.
    static constexpr int pathRole = Qt::UserRole + 1;

    // `icons` may be null (no icons drawn).
    ResultModel(SearchSession& session, Preferences& preferences, IconCache* icons,
                QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Column columnAt(int section) const { return columns_.at(static_cast<std::size_t>(section)); }
    // -1 when the column is hidden.
    int sectionOf(Column column) const;
    static ResultSort::Field sortField(Column column);
    // The column a sort field is shown in, if any.
    static std::optional<Column> columnOf(ResultSort::Field field);

    // For display only (shownText): controls, bidirectional formatting and bytes that are
    // not UTF-8 show as escapes.
    static QString nameText(const SearchRow& row);
    static QString fullPath(const SearchRow& row);
    // The path as the file system spells it, for handing the file to other programs.
    static std::string pathBytes(const SearchRow& row);
    // None while the store's list is one the view has not followed yet.
    std::optional<SearchRow> rowAt(int row) const;
    // The store announced rows this model has not followed yet (or is following them now):
    // its row numbers do not name the store's rows.
    bool isBehind() const;

protected:
    // A language switch rewords the titles, the kinds and the dates of the rows shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followRows();
    void followColumns();
    void followByRange(const RowsChange& change);

    QString text(const SearchRow& row, Column column) const;
    // The exact time of a date column; empty for other columns and rows without that date.
    static QString exactDate(const SearchRow& row, Column column);
    QString kindText(const SearchRow& row) const;

    SearchSession& session_;
    Preferences& preferences_;
    IconCache* icons_;
    std::vector<Column> columns_;
    qint64 rows_ = 0;           // the rows the view knows
    std::uint64_t version_ = 0; // the store's list they are
    // While following by range, the view's rows are runs of the list before and of the
    // current one.
    struct Run {
        bool current = false;
        qint64 start = 0;
        qint64 count = 0;
    };
    std::vector<Run> runs_;
    Run runAt(qint64 row) const;
    void cut(qint64 first, qint64 count);
    void put(qint64 row, Run piece);
    void moveRow(qint64 row, qint64 to);
    std::shared_ptr<const ResultList> before_;
    bool following_ = false;
    bool resetting_ = false;
    std::int64_t search_ = 0; // the store's rowsSearch the known rows answer
    QDateTime now_;
    mutable QHash<QString, QString> kinds_; // by lowercase extension, in the shown language
    mutable QHash<std::int64_t, QString> linkKinds_; // by entry, for the rows listed now
};

} // namespace vesko
