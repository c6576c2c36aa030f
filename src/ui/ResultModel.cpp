// SPDX-License-Identifier: MIT
#include "ui/ResultModel.h"

#include "store/IndexStore.h"
#include "store/ShownText.h"
#include "ui/IconCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QLocale>
#include <QMimeDatabase>

#include <algorithm>

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

// The extension a kind is looked up by; a leading dot alone (".bashrc") is no extension.
QString extensionOf(const QString& name) {
    const auto dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1).toLower() : QString();
}

} // namespace

ResultModel::ResultModel(IndexStore& store, IconCache* icons, QObject* parent)
    : QAbstractTableModel(parent), store_(store), icons_(icons), ids_(idsOf(store.rows())),
      generation_(store.generation()), now_(QDateTime::currentDateTime()) {
    followColumns();
    connect(&store_, &IndexStore::rowsChanged, this, &ResultModel::followRows);
    connect(&store_.preferences(), &Preferences::changed, this, [this](const QString& key) {
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
    const auto& rows = store_.rows();
    // The store replaces its rows just before it tells us; until then the count may differ.
    if (row < 0 || row >= rowCount() || static_cast<std::size_t>(row) >= rows.size())
        return nullptr;
    return &rows[static_cast<std::size_t>(row)];
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
    case pathRole:
        return fullPath(*row);
    case Qt::AccessibleTextRole:
        // What a screen reader announces for the selected row: the name and where it is.
        return column == Column::name
                   ? nameText(*row) + QStringLiteral(", ") + shownText(row->directory)
                   : text(*row, column);
    case Qt::DecorationRole:
        if (column != Column::name || !icons_) return {};
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

QString ResultModel::text(const SearchRow& row, Column column) const {
    Preferences& preferences = store_.preferences();
    switch (column) {
    case Column::name:
        return nameText(row);
    case Column::kind:
        return kindText(row);
    case Column::size:
        return row.isDirectory ? QString() : Preferences::sizeText(row.bytes());
    case Column::modified:
        return Preferences::dateText(preferences.dateStyle(), row.modified, now_);
    case Column::created:
        return Preferences::dateText(preferences.dateStyle(), row.created, now_);
    case Column::accessed:
        return Preferences::dateText(preferences.dateStyle(), row.accessed, now_);
    case Column::path:
        return Preferences::pathText(preferences.pathBarStyle(), shownText(row.directory),
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
            link = linkKinds_.insert(row.id, FileDetail::linkKind(row.path()));
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
    const Preferences& preferences = store_.preferences();
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
    const auto& rows = store_.rows();
    if (!applyEdit(rows)) {
        beginResetModel();
        ids_ = idsOf(rows);
        endResetModel();
    }
    generation_ = store_.generation();
}

// Rows the view already shows stay where they are when the new list keeps them: the same
// rows again (a refresh, a rename), a page appended, or rows taken out (a trash).
bool ResultModel::applyEdit(const std::vector<SearchRow>& rows) {
    const std::size_t before = ids_.size();
    std::size_t kept = 0;
    while (kept < std::min(before, rows.size()) && ids_[kept] == rows[kept].id)
        ++kept;
    if (kept == before) {
        if (before > 0)
            emit dataChanged(index(0, 0), index(static_cast<int>(before) - 1, columnCount() - 1));
        if (rows.size() > before) {
            beginInsertRows({}, static_cast<int>(before), static_cast<int>(rows.size()) - 1);
            ids_ = idsOf(rows);
            endInsertRows();
        }
        return true;
    }
    // Taking rows out is only a trash; a new query narrowing the list is a new result.
    if (rows.empty() || rows.size() >= before || store_.generation() != generation_) return false;
    std::vector<bool> removed(before, true);
    std::size_t next = 0;
    for (std::size_t i = 0; i < before && next < rows.size(); ++i)
        if (ids_[i] == rows[next].id) removed[i] = false, ++next;
    if (next != rows.size()) return false;
    for (std::size_t end = before; end > 0;) {
        if (!removed[end - 1]) {
            --end;
            continue;
        }
        std::size_t start = end - 1;
        while (start > 0 && removed[start - 1])
            --start;
        beginRemoveRows({}, static_cast<int>(start), static_cast<int>(end) - 1);
        ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(start),
                   ids_.begin() + static_cast<std::ptrdiff_t>(end));
        endRemoveRows();
        end = start;
    }
    return true;
}

} // namespace vesko
