// SPDX-License-Identifier: MIT
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

std::vector<std::int64_t> idsOf(const std::vector<SearchRow>& rows) {
    std::vector<std::int64_t> ids;
    ids.reserve(rows.size());
    for (const SearchRow& row : rows)
        ids.push_back(row.id);
    return ids;
}

// One change of the rows on one contiguous range, as a view is told of it.
struct RangeStep {
    enum class Kind { remove, insert, move };
    Kind kind;
    int first; // the first row removed or moved, or where the inserted rows go
    int count;
    int to = 0; // where moved rows go: before this row, numbered as before the move
};

// Beyond this many steps the view redraws everything anyway: a reset is cheaper.
constexpr std::size_t mostSteps = 64;

void applyStep(std::vector<std::int64_t>& ids, const RangeStep& step,
               const std::vector<std::int64_t>& wanted) {
    const auto at = [&](int row) { return ids.begin() + row; };
    switch (step.kind) {
    case RangeStep::Kind::remove:
        ids.erase(at(step.first), at(step.first + step.count));
        break;
    case RangeStep::Kind::insert:
        // Every row before an insertion is in place already, so it takes the same rows of
        // `wanted`.
        ids.insert(at(step.first), wanted.begin() + step.first,
                   wanted.begin() + step.first + step.count);
        break;
    case RangeStep::Kind::move:
        std::rotate(at(step.to), at(step.first), at(step.first + step.count));
        break;
    }
}

// The steps that turn `ids` into `wanted` (both without repeats; `places` says where each
// wanted id goes): the rows gone are removed from the last, then from the top down each
// row not yet in place is inserted or moved up with the rows following it there; nothing
// when that takes too many steps.
std::optional<std::vector<RangeStep>> stepsBetween(std::vector<std::int64_t> ids,
                                                   const std::vector<std::int64_t>& wanted,
                                                   const QHash<std::int64_t, int>& places) {
    std::vector<RangeStep> steps;
    const auto take = [&](const RangeStep& step) {
        applyStep(ids, step, wanted);
        steps.push_back(step);
        return steps.size() <= mostSteps;
    };
    const auto gone = [&](std::size_t row) { return !places.contains(ids[row]); };
    for (std::size_t end = ids.size(); end > 0;) {
        if (!gone(end - 1)) {
            --end;
            continue;
        }
        std::size_t first = end - 1;
        while (first > 0 && gone(first - 1))
            --first;
        if (!take(
                {RangeStep::Kind::remove, static_cast<int>(first), static_cast<int>(end - first)}))
            return std::nullopt;
        end = first;
    }
    const QSet<std::int64_t> kept(ids.begin(), ids.end());
    if (static_cast<std::size_t>(kept.size()) != ids.size()) return std::nullopt;
    for (std::size_t row = 0; row < wanted.size();) {
        if (row < ids.size() && ids[row] == wanted[row]) {
            ++row;
            continue;
        }
        std::size_t count = 1;
        RangeStep step{RangeStep::Kind::insert, static_cast<int>(row), 0};
        if (!kept.contains(wanted[row])) {
            while (row + count < wanted.size() && !kept.contains(wanted[row + count]))
                ++count;
        } else {
            const auto from = static_cast<std::size_t>(
                std::find(ids.begin() + static_cast<std::ptrdiff_t>(row), ids.end(), wanted[row]) -
                ids.begin());
            while (from + count < ids.size() && row + count < wanted.size() &&
                   ids[from + count] == wanted[row + count])
                ++count;
            step = {RangeStep::Kind::move, static_cast<int>(from), 0, static_cast<int>(row)};
        }
        step.count = static_cast<int>(count);
        if (!take(step)) return std::nullopt;
        row += count;
    }
    return steps;
}

// The extension a kind is looked up by; a leading dot alone (".bashrc") is no extension.
QString extensionOf(const QString& name) {
    const auto dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

} // namespace

ResultModel::ResultModel(SearchSession& session, Preferences& preferences, IconCache* icons,
                         QObject* parent)
    : QAbstractTableModel(parent), session_(session), preferences_(preferences), icons_(icons),
      ids_(idsOf(session.rows())), search_(session.rowsSearch()),
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
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
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

const SearchRow* ResultModel::rowAt(int row) const {
    if (row < 0 || row >= rowCount()) return nullptr;
    const auto& rows = session_.rows();
    const std::int64_t id = ids_[static_cast<std::size_t>(row)];
    auto place = static_cast<std::size_t>(row);
    if (following_) {
        const auto found = places_.constFind(id);
        if (found == places_.constEnd()) return nullptr; // a row on its way out
        place = static_cast<std::size_t>(*found);
    }
    // The store replaces its rows just before it tells us; until then they may differ.
    if (place >= rows.size() || rows[place].id != id) return nullptr;
    return &rows[place];
}

bool ResultModel::isBehind() const {
    return following_ || resetting_ ||
           !std::ranges::equal(ids_, session_.rows(), std::ranges::equal_to{}, std::identity{},
                               &SearchRow::id);
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const SearchRow* row = rowAt(index.row());
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
        const SearchRow* row = role == Qt::AccessibleTextRole ? rowAt(section) : nullptr;
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
    const auto& rows = session_.rows();
    const bool sameSearch = session_.rowsSearch() == search_;
    search_ = session_.rowsSearch();
    if (sameSearch && followByRange(rows)) return;
    // Whoever follows the reset reads the new rows, but the view's marks and focus are only
    // put back afterwards.
    resetting_ = true;
    beginResetModel();
    ids_ = idsOf(rows);
    endResetModel();
    resetting_ = false;
}

bool ResultModel::followByRange(const std::vector<SearchRow>& rows) {
    const std::vector<std::int64_t> wanted = idsOf(rows);
    QHash<std::int64_t, int> places;
    places.reserve(static_cast<qsizetype>(wanted.size()));
    for (std::size_t row = 0; row < wanted.size(); ++row)
        places.insert(wanted[row], static_cast<int>(row));
    // An id twice: the rows cannot be told apart by it.
    if (static_cast<std::size_t>(places.size()) != wanted.size()) return false;
    const auto steps = stepsBetween(ids_, wanted, places);
    if (!steps) return false;
    places_ = std::move(places);
    following_ = true;
    for (const RangeStep& step : *steps) {
        const int last = step.first + step.count - 1;
        switch (step.kind) {
        case RangeStep::Kind::remove:
            beginRemoveRows({}, step.first, last);
            applyStep(ids_, step, wanted);
            endRemoveRows();
            break;
        case RangeStep::Kind::insert:
            beginInsertRows({}, step.first, last);
            applyStep(ids_, step, wanted);
            endInsertRows();
            break;
        case RangeStep::Kind::move:
            beginMoveRows({}, step.first, last, {}, step.to);
            applyStep(ids_, step, wanted);
            endMoveRows();
            break;
        }
    }
    following_ = false;
    places_.clear();
    // Rows kept may have changed too (a size, a date, a name renamed in place).
    if (!ids_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    return true;
}

} // namespace vesko
