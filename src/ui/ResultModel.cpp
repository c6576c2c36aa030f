// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultModel.h"

#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "store/ShownText.h"
#include "ui/DisplayText.h"
#include "ui/IconCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLocale>
#include <QMimeDatabase>
#include <QSet>

#include <algorithm>
#include <functional>
#include <optional>

namespace vesko {
namespace {

using Column = ResultModel::Column;

// The extension a kind is looked up by; a leading dot alone (".bashrc") is no extension.
QString extensionOf(const QString& name) {
    const auto dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

} // namespace

ResultModel::ResultModel(SearchSession& session, Preferences& preferences, IconCache* icons,
                         QObject* parent)
    : QAbstractTableModel(parent), session_(session), preferences_(preferences), icons_(icons),
      rows_(session.rowCount()), version_(session.listVersion()), search_(session.rowsSearch()),
      now_(QDateTime::currentDateTime()) {
    session_.setFolderKind(tr("Folder"));
    followColumns();
    connect(&session_, &SearchSession::rowsChanged, this, &ResultModel::followRows);
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key.startsWith(QLatin1String("show")) && key != QLatin1String("showSidebar") &&
            key != QLatin1String("showInMenuBar"))
            followColumns();
        else if ((key == QLatin1String("pathBarStyle") || key == QLatin1String("dateStyle")) &&
                 rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    });
    QCoreApplication::instance()->installEventFilter(this);
    if (icons_)
        connect(icons_, &IconCache::iconsChanged, this, [this] {
            if (rowCount() > 0)
                emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
        });
}

bool ResultModel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::LanguageChange && watched == QCoreApplication::instance()) {
        session_.setFolderKind(tr("Folder"));
        kinds_.clear();
        linkKinds_.clear();
        if (columnCount() > 0) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    return QAbstractTableModel::eventFilter(watched, event);
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_);
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int ResultModel::sectionOf(Column column) const {
    const auto found = std::find(columns_.begin(), columns_.end(), column);
    return found == columns_.end() ? -1 : static_cast<int>(found - columns_.begin());
}

ResultSort::Field ResultModel::sortField(Column column) {
    using Field = ResultSort::Field;
    static constexpr Field fields[] = {Field::name,     Field::kind,    Field::size,
                                       Field::modified, Field::created, Field::accessed,
                                       Field::path};
    return fields[static_cast<int>(column)];
}

std::optional<ResultModel::Column> ResultModel::columnOf(ResultSort::Field field) {
    for (int i = 0; i <= static_cast<int>(Column::path); ++i)
        if (sortField(static_cast<Column>(i)) == field) return static_cast<Column>(i);
    return std::nullopt;
}

QString ResultModel::nameText(const SearchRow& row) {
    return shownText(row.name);
}

QString ResultModel::fullPath(const SearchRow& row) {
    return shownText(row.path());
}

std::string ResultModel::pathBytes(const SearchRow& row) {
    return row.path();
}

std::optional<SearchRow> ResultModel::rowAt(int row) const {
    if (row < 0 || row >= rowCount()) return std::nullopt;
    if (!following_) {
        // The store replaces its list just before it tells us; until then they may differ.
        if (version_ != session_.listVersion()) return std::nullopt;
        return session_.row(row);
    }
    qint64 offset = row;
    for (const Run& run : runs_) {
        if (offset < run.count)
            return (run.current ? session_.list() : *before_).row(run.start + offset);
        offset -= run.count;
    }
    return std::nullopt;
}

bool ResultModel::isBehind() const {
    return following_ || resetting_ || version_ != session_.listVersion();
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const std::optional<SearchRow> row = rowAt(index.row());
    if (!row) return {};
    const Column column = columnAt(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return text(*row, column);
    case Qt::ToolTipRole:
        // A date column's tip is the exact time behind "Yesterday" or a short date.
        if (const QString exact = exactDate(*row, column); !exact.isEmpty()) return exact;
        return fullPath(*row);
    case pathRole:
        return fullPath(*row);
    case Qt::AccessibleTextRole:
        // What a screen reader announces for the selected row: the name and where it is.
        return column == Column::name
                   ? nameText(*row) + QStringLiteral(", ") + shownText(row->directory)
                   : text(*row, column);
    case Qt::DecorationRole:
        if (column != Column::name || !icons_) return {};
        // The type's icon stands in until (and unless) a thumbnail is found.
        if (preferences_.showThumbnails() && !row->isDirectory) {
            if (const auto thumbnail = icons_->thumbnail(*row)) {
                if (!thumbnail->isNull()) return *thumbnail;
            } else {
                icons_->requestThumbnail(*row);
            }
        }
        if (QIcon icon = icons_->icon(*row); !icon.isNull()) return icon;
        // Only rows being drawn ask, so icons load for the rows on screen alone.
        icons_->request(*row);
        return {};
    case Qt::TextAlignmentRole:
        if (column == Column::size) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QString ResultModel::exactDate(const SearchRow& row, Column column) {
    switch (column) {
    case Column::modified:
        return DisplayText::exactDate(row.modified);
    case Column::created:
        return DisplayText::exactDate(row.created);
    case Column::accessed:
        return DisplayText::exactDate(row.accessed);
    default:
        return {};
    }
}

QString ResultModel::text(const SearchRow& row, Column column) const {
    Preferences& preferences = preferences_;
    switch (column) {
    case Column::name:
        return nameText(row);
    case Column::kind:
        return kindText(row);
    case Column::size:
        return row.isDirectory ? QString() : DisplayText::sizeText(row.bytes());
    case Column::modified:
        return DisplayText::dateText(preferences.dateStyle(), row.modified, now_);
    case Column::created:
        return DisplayText::dateText(preferences.dateStyle(), row.created, now_);
    case Column::accessed:
        return DisplayText::dateText(preferences.dateStyle(), row.accessed, now_);
    case Column::path:
        return DisplayText::pathText(preferences.pathBarStyle(), shownText(row.directory),
                                     QDir::homePath());
    }
    return {};
}

QString ResultModel::kindText(const SearchRow& row) const {
    if (row.isDirectory) return tr("Folder");
    // The same words as the detail bar; a link's target is looked at for the rows on screen.
    if (row.isSymlink) {
        auto link = linkKinds_.constFind(row.id);
        if (link == linkKinds_.constEnd())
            link = linkKinds_.insert(row.id,
                                     DisplayText::linkKind(FileDetail::linkTarget(row.path())));
        return *link;
    }
    const QString extension = extensionOf(nameText(row));
    if (extension.isEmpty()) return {};
    auto found = kinds_.constFind(extension);
    if (found != kinds_.constEnd()) return *found;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension,
                                                           QMimeDatabase::MatchExtension);
    return *kinds_.insert(extension, type.isDefault() ? QString() : type.comment());
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        // The row titles are not drawn, but a screen reader announces each row by its title.
        const auto row = role == Qt::AccessibleTextRole ? rowAt(section) : std::nullopt;
        return row ? QVariant(nameText(*row)) : QVariant();
    }
    if (section < 0 || section >= columnCount()) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant((columnAt(section) == Column::size ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (columnAt(section)) {
    case Column::name:
        return tr("Name");
    case Column::kind:
        return tr("Kind");
    case Column::size:
        return tr("Size");
    case Column::modified:
        return tr("Modified");
    case Column::created:
        return tr("Created");
    case Column::accessed:
        return tr("Last Opened");
    case Column::path:
        return tr("Full Path");
    }
    return {};
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void ResultModel::followColumns() {
    const Preferences& preferences = preferences_;
    std::vector<Column> columns{Column::name};
    const std::pair<bool, Column> optional[] = {{preferences.showKind(), Column::kind},
                                                {preferences.showSize(), Column::size},
                                                {preferences.showModified(), Column::modified},
                                                {preferences.showCreated(), Column::created},
                                                {preferences.showAccessed(), Column::accessed},
                                                {preferences.showFullPath(), Column::path}};
    for (const auto& [shown, column] : optional)
        if (shown) columns.push_back(column);
    if (columns == columns_) return;
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void ResultModel::followRows() {
    now_ = QDateTime::currentDateTime();
    linkKinds_.clear();
    const bool sameSearch = session_.rowsSearch() == search_;
    search_ = session_.rowsSearch();
    const auto& change = session_.rowsChange();
    const auto& before = session_.previousList();
    if (sameSearch && change && before && before->count() == rows_) return followByRange(*change);
    // Whoever follows the reset reads the new rows, but the view's marks and focus are only
    // put back afterwards.
    resetting_ = true;
    beginResetModel();
    rows_ = session_.rowCount();
    version_ = session_.listVersion();
    endResetModel();
    resetting_ = false;
}

// Rows that left go first; the moved rows then go to the end, so the rows that stay are in
// their final order; then from the top, rows that came are put in and moved rows put back.
// A moved row keeps its persistent index, so a view's focus and marks stay on its file.
void ResultModel::followByRange(const RowsChange& change) {
    before_ = session_.previousList();
    runs_ = {{false, 0, rows_}};
    following_ = true;
    for (const auto& [first, count] : change.removed) {
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
        cut(first, count);
        endRemoveRows();
    }
    auto moves = change.moved;
    std::ranges::sort(moves, std::greater{}, &RowsChange::Move::from);
    std::vector<qint64> tail; // the moved rows at the end, by their row before
    for (const RowsChange::Move& move : moves) {
        qint64 row = move.from;
        for (const auto& [first, count] : change.removed)
            if (first < move.from) row -= count;
        if (row + 1 != rows_) moveRow(row, rows_);
        tail.push_back(move.from);
    }
    std::ranges::sort(moves, std::less{}, &RowsChange::Move::to);
    auto move = moves.begin();
    auto insert = change.inserted.begin();
    while (move != moves.end() || insert != change.inserted.end()) {
        if (insert == change.inserted.end() || (move != moves.end() && move->to < insert->first)) {
            const auto at = std::ranges::find(tail, move->from);
            const qint64 row = rows_ - static_cast<qint64>(tail.size()) + (at - tail.begin());
            if (row != move->to) moveRow(row, move->to);
            tail.erase(at);
            ++move;
        } else {
            beginInsertRows({}, static_cast<int>(insert->first),
                            static_cast<int>(insert->first + insert->count - 1));
            put(insert->first, {true, insert->first, insert->count});
            endInsertRows();
            ++insert;
        }
    }
    following_ = false;
    runs_.clear();
    before_.reset();
    version_ = session_.listVersion();
    // Rows kept may have changed too (a size, a date, a name renamed in place).
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// Moves one row to before row `to`, numbered as before the move.
void ResultModel::moveRow(qint64 row, qint64 to) {
    beginMoveRows({}, static_cast<int>(row), static_cast<int>(row), {}, static_cast<int>(to));
    const Run piece = runAt(row);
    cut(row, 1);
    put(to > row ? to - 1 : to, piece);
    endMoveRows();
}

ResultModel::Run ResultModel::runAt(qint64 row) const {
    for (const Run& run : runs_) {
        if (row < run.count) return {run.current, run.start + row, 1};
        row -= run.count;
    }
    return {};
}

// Takes rows [first, first + count) out of the runs.
void ResultModel::cut(qint64 first, qint64 count) {
    std::vector<Run> kept;
    qint64 at = 0;
    for (const Run& run : runs_) {
        const qint64 end = at + run.count;
        if (at < first) kept.push_back({run.current, run.start, std::min(run.count, first - at)});
        if (end > first + count) {
            const qint64 from = std::max(first + count, at);
            kept.push_back({run.current, run.start + (from - at), end - from});
        }
        at = end;
    }
    runs_ = std::move(kept);
    rows_ -= count;
}

// Puts the run's rows in at row `row`.
void ResultModel::put(qint64 row, Run piece) {
    std::vector<Run> runs;
    qint64 at = 0;
    bool placed = false;
    for (const Run& run : runs_) {
        const qint64 end = at + run.count;
        if (!placed && row < end) {
            if (row > at) runs.push_back({run.current, run.start, row - at});
            runs.push_back(piece);
            runs.push_back({run.current, run.start + (row - at), end - row});
            placed = true;
        } else {
            runs.push_back(run);
        }
        at = end;
    }
    if (!placed) runs.push_back(piece);
    runs_ = std::move(runs);
    rows_ += piece.count;
}

} // namespace vesko
