// SPDX-License-Identifier: MIT
// The result list's table: one row per row of the store, one column per visible field. It
// reads the store's rows on demand and never copies them. A new search resets it; rows of the
// same search again (a change on disk, another page, a trash) are followed by range: the
// rows that left are removed, the rows that came are inserted and the rows that moved are
// moved, so the view keeps its scroll position, focus and marks on their files.
#pragma once

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
    const SearchRow* rowAt(int row) const;
    // The store announced rows this model has not followed yet (or is following them now):
    // its row numbers do not name the store's rows.
    bool isBehind() const;

protected:
    // A language switch rewords the titles, the kinds and the dates of the rows shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followRows();
    void followColumns();
    bool followByRange(const std::vector<SearchRow>& rows);
    QString text(const SearchRow& row, Column column) const;
    // The exact time of a date column; empty for other columns and rows without that date.
    static QString exactDate(const SearchRow& row, Column column);
    QString kindText(const SearchRow& row) const;

    SearchSession& session_;
    Preferences& preferences_;
    IconCache* icons_;
    std::vector<Column> columns_;
    // The ids of the rows the view knows, in its order; the store's rows are found by them.
    std::vector<std::int64_t> ids_;
    // While following by range: where each id sits in the store's new rows.
    QHash<std::int64_t, int> places_;
    bool following_ = false;
    bool resetting_ = false;
    std::int64_t search_ = 0; // the store's rowsSearch the known rows answer
    QDateTime now_;
    mutable QHash<QString, QString> kinds_; // by lowercase extension, in the shown language
    mutable QHash<std::int64_t, QString> linkKinds_; // by entry, for the rows listed now
};

} // namespace vesko
