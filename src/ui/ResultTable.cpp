// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultTable.h"

#include "store/FileActionCenter.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "ui/PreviewWindow.h"
#include "ui/ResultActions.h"
#include "ui/ResultDelegate.h"
#include "ui/ResultModel.h"

#include <QApplication>
#include <QDrag>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStyleOptionHeader>

#include <algorithm>
#include <numeric>

namespace vesko {
namespace {

constexpr int pageStep = 12;
constexpr double smallestText = 8;
constexpr double largestText = 28;

// The column titles, with the right-aligned size title kept off the next column's title as
// its numbers are kept off the next column's text.
class ResultHeader : public QHeaderView {
public:
    explicit ResultHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        if (option->textAlignment & Qt::AlignRight) {
            const int space = option->fontMetrics.horizontalAdvance(QChar(u' '));
            option->text += QString(std::max(1, ResultDelegate::rightPadding / std::max(1, space)),
                                    QChar(u' '));
        }
    }
};

} // namespace

ResultTable::ResultTable(SearchSession& session, FileActionCenter& fileActions,
                         Preferences& preferences, PreviewWindow& preview, ResultModel& model,
                         QWidget* parent)
    : QTableView(parent), session_(session), fileActions_(fileActions), preferences_(preferences),
      preview_(preview), model_(model) {
    setObjectName("resultList");
    setAccessibleName(tr("Results"));
    setModel(&model_);
    setItemDelegate(new ResultDelegate(session_, preferences_, this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setAlternatingRowColors(true);
    setDragEnabled(true);
    setDragDropMode(DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalHeader(new ResultHeader(this));
    QHeaderView* header = horizontalHeader();
    header->setFont(QApplication::font()); // the list's text size leaves the titles alone
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    // Columns are fitted to the rows on screen and a few more, never to a whole long list.
    header->setResizeContentsPrecision(64);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        session_.toggleSort(ResultModel::sortField(model_.columnAt(section)));
        followSort();
    });
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& where) {
        // A right click inside the marked rows acts on all of them, elsewhere on its row.
        if (const QModelIndex index = indexAt(where); index.isValid()) {
            if (!selectionModel()->isRowSelected(index.row(), {})) session_.setSelectedRows({});
            session_.setSelection(index.row());
        }
        showMenu(where);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { fileActions_.openSelected(); });
    connect(&session_, &SearchSession::selectionChanged, this, &ResultTable::followSelection);
    connect(&session_, &SearchSession::rowsChanged, this, &ResultTable::followSelection);
    connect(&session_, &SearchSession::selectedRowsChanged, this, &ResultTable::followMarks);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ResultTable::writeMarks);
    connect(&session_, &SearchSession::sortChanged, this, &ResultTable::followSort);
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        followSort();
        followColumnWidths();
    });
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int width) {
        // The header resizes sections of its own accord too (the last one, a reset); only a
        // resize with a button held is the user's drag.
        if (!fitting_ && QGuiApplication::mouseButtons() != Qt::NoButton &&
            section < model_.columnCount() - 1)
            userWidths_.insert(static_cast<int>(model_.columnAt(section)), width);
    });
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("listTextSize") || key == QLatin1String("showThumbnails"))
            followTextSize();
    });
    followTextSize();
    followSort();
    followColumnWidths();
    followSelection();
}

std::optional<std::string> ResultTable::selectedPath() const {
    const auto row = session_.selectedRow();
    if (!row) return std::nullopt;
    return row->path();
}

void ResultTable::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // While the model follows new rows, the view's rows are neither the old nor the new.
    if (!following_ && current.isValid() && !model_.isBehind())
        session_.setSelection(current.row());
}

// The store moves its selection and marks before it announces the rows they number; the
// view follows once the model has the rows.
void ResultTable::followSelection() {
    if (writing_ || model_.isBehind()) return;
    const qint64 row = session_.selection();
    following_ = true;
    if (row >= 0 && row < model_.rowCount()) {
        const QModelIndex index =
            model_.index(static_cast<int>(row), std::max(currentIndex().column(), 0));
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        scrollTo(index);
    } else {
        selectionModel()->clearCurrentIndex();
    }
    following_ = false;
    followMarks();
    fileActions_.loadDetail();
}

std::vector<qint64> ResultTable::markedRows() const {
    std::vector<qint64> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Without marks the focused row is drawn selected, as it is what the actions act on.
void ResultTable::followMarks() {
    if (writing_ || model_.isBehind()) return;
    std::vector<qint64> wanted = session_.selectedRows();
    if (wanted.empty() && currentIndex().isValid()) wanted.push_back(currentIndex().row());
    if (markedRows() == wanted) return;
    QItemSelection marks;
    for (std::size_t first = 0; first < wanted.size();) {
        std::size_t last = first;
        while (last + 1 < wanted.size() && wanted[last + 1] == wanted[last] + 1)
            ++last;
        marks.select(model_.index(static_cast<int>(wanted[first]), 0),
                     model_.index(static_cast<int>(wanted[last]), 0));
        first = last + 1;
    }
    following_ = true;
    selectionModel()->select(marks,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    following_ = false;
}

void ResultTable::writeMarks() {
    // Rows leaving or a reset take marks off the view; the store keeps its own by entry.
    if (following_ || model_.isBehind()) return;
    writing_ = true;
    session_.setSelectedRows(markedRows());
    writing_ = false;
}

void ResultTable::followSort() {
    const ResultSort& sort = session_.sort();
    const auto column = sort.isColumnSorted() ? ResultModel::columnOf(sort.field) : std::nullopt;
    const int section = column ? model_.sectionOf(*column) : -1;
    horizontalHeader()->setSortIndicator(section,
                                         sort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ResultTable::followTextSize() {
    QFont text = font();
    text.setPointSizeF(preferences_.listTextSize());
    setFont(text);
    const int height = QFontMetrics(text).height();
    // Thumbnails need room to be told apart; type icons stay the text's height.
    const int icon = preferences_.showThumbnails() ? std::max(48, height + 2) : height + 2;
    verticalHeader()->setDefaultSectionSize(std::max(height, icon - 2) + 8);
    setIconSize(QSize(icon, icon));
    fitColumns();
}

// A new set of columns starts from fitted widths; a new result or another window size fits
// them again, but a column the user dragged keeps its width.
void ResultTable::followColumnWidths() {
    QString shape;
    for (int section = 0; section < model_.columnCount(); ++section)
        shape += QChar(u'a' + static_cast<int>(model_.columnAt(section)));
    if (shape != columnShape_) userWidths_.clear();
    columnShape_ = shape;
    fitColumns();
}

// What the column's title and the rows on screen need, so nothing there is cut.
int ResultTable::contentWidth(int section) const {
    int rows = std::max(sizeHintForColumn(section), 0);
    const auto column = model_.columnAt(section);
    // A text set flush against the next column's would read as one with it.
    rows += column == ResultModel::Column::name ? boldExtra() : ResultDelegate::rightPadding;
    return std::max(rows, horizontalHeader()->sectionSizeHint(section));
}

// Matches in a name are drawn bold, which the item's size hint does not know: how much wider
// the widest name on screen would be all bold.
int ResultTable::boldExtra() const {
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics plainMetrics(font());
    const QFontMetrics boldMetrics(bold);
    int plain = 0;
    int all = 0;
    const int first = std::max(rowAt(0), 0);
    for (int row = first; row < std::min(first + 64, model_.rowCount()); ++row) {
        const QString name = model_.data(model_.index(row, 0)).toString();
        plain = std::max(plain, plainMetrics.horizontalAdvance(name));
        all = std::max(all, boldMetrics.horizontalAdvance(name));
    }
    return all - plain;
}

// The columns share the view's width without a horizontal scroll bar: kinds, sizes and dates
// take what their rows on screen need (within a cap), the name what its rows need up to
// three fifths of the rest, and the full path the rest, its start elided. In a narrow window
// those columns give way to the name and the path, down to their titles' widths.
void ResultTable::fitColumns() {
    const int columns = model_.columnCount();
    if (columns == 0) return;
    const int average = QFontMetrics(font()).averageCharWidth();
    const int path = model_.sectionOf(ResultModel::Column::path);
    // The least the name and the path keep before the other columns give way.
    const int nameLeast = average * 20;
    // The header stretches its last column no narrower than its default width.
    const int pathLeast = path < 0
                              ? 0
                              : std::max({average * 12, horizontalHeader()->defaultSectionSize(),
                                          horizontalHeader()->sectionSizeHint(path)});
    const int available = viewport()->width();
    std::vector<int> widths(static_cast<std::size_t>(columns), 0);
    std::vector<int> floors(widths.size(), 0);
    int fixed = 0;
    int give = 0; // how much the fitted columns could give way
    int name = -1;
    for (int section = 0; section < columns; ++section) {
        const auto column = model_.columnAt(section);
        const auto index = static_cast<std::size_t>(section);
        if (const auto user = userWidths_.constFind(static_cast<int>(column));
            user != userWidths_.constEnd()) {
            widths[index] = floors[index] = *user;
        } else if (column == ResultModel::Column::name) {
            name = section;
            continue;
        } else if (column == ResultModel::Column::path) {
            continue;
        } else {
            const int cap = average * (column == ResultModel::Column::kind ? 36 : 24);
            floors[index] = horizontalHeader()->sectionSizeHint(section);
            widths[index] = std::clamp(contentWidth(section), floors[index], cap);
            give += widths[index] - floors[index];
        }
        fixed += widths[index];
    }
    // Too narrow: the fitted columns give way, each in proportion to what it can give.
    if (const int excess = std::min(fixed + nameLeast + pathLeast - available, give); excess > 0)
        for (std::size_t index = 0; index < widths.size(); ++index) {
            const qint64 spare = widths[index] - floors[index];
            widths[index] -= static_cast<int>((excess * spare + give - 1) / give);
            widths[index] = std::max(widths[index], floors[index]);
        }
    const int rest = available - std::accumulate(widths.begin(), widths.end(), 0);
    if (name >= 0 && !userWidths_.contains(static_cast<int>(ResultModel::Column::name))) {
        const int most = std::min(std::max(rest - pathLeast, 0),
                                  path < 0 ? rest : std::max(rest * 3 / 5, nameLeast));
        widths[static_cast<std::size_t>(name)] =
            std::clamp(contentWidth(name), std::min(nameLeast, most), most);
    }
    fitting_ = true;
    for (int section = 0; section + 1 < columns; ++section)
        setColumnWidth(section, widths[static_cast<std::size_t>(section)]);
    fitting_ = false;
}

void ResultTable::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        setAccessibleName(tr("Results"));
        // The kinds and titles are reworded by then.
        QMetaObject::invokeMethod(this, &ResultTable::fitColumns, Qt::QueuedConnection);
    }
    QTableView::changeEvent(event);
}

// The rows' room changes with the window and with the vertical scroll bar coming and going;
// rows first shown were measured before the view had its style, so they are measured again
// once it is on screen.
bool ResultTable::viewportEvent(QEvent* event) {
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize) fitColumns();
    if (event->type() == QEvent::Show)
        QMetaObject::invokeMethod(this, &ResultTable::fitColumns, Qt::QueuedConnection);
    return handled;
}

void ResultTable::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event))
        event->accept();
    else
        QTableView::keyPressEvent(event);
}

bool ResultTable::handleKey(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool moves = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up ||
                       event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp ||
                       event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
    if (moves && (modifiers & Qt::ShiftModifier)) {
        // The view extends the marks from where they started; near the end, more rows.
        QTableView::keyPressEvent(event);
        session_.moveSelection(0);
        return true;
    }
    if (moves) session_.setSelectedRows({});
    switch (event->key()) {
    case Qt::Key_Down:
        session_.moveSelection(1);
        return true;
    case Qt::Key_Up:
        if (session_.selection() <= 0)
            emit searchFieldWanted();
        else
            session_.moveSelection(-1);
        return true;
    case Qt::Key_PageDown:
        session_.moveSelection(pageStep);
        return true;
    case Qt::Key_PageUp:
        session_.moveSelection(-pageStep);
        return true;
    case Qt::Key_Home:
        session_.moveSelection(-session_.rowCount());
        return true;
    case Qt::Key_End:
        session_.moveSelection(session_.rowCount());
        return true;
    case Qt::Key_Escape:
        if (preview_.isVisible()) preview_.toggle(selectedPath());
        emit searchFieldWanted();
        return true;
    case Qt::Key_F:
        if (modifiers != Qt::ControlModifier) return false;
        emit searchFieldWanted();
        return true;
    case Qt::Key_Menu:
        showMenu(visualRect(currentIndex()).center());
        return true;
    default:
        break;
    }
    // The same actions as the menus': a key the shortcuts did not take runs its action here.
    if (QAction* action = actions_ ? actions_->forListKey(*event) : nullptr) {
        action->trigger();
        return true;
    }
    return false;
}

void ResultTable::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) return QTableView::wheelEvent(event);
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) {
        Preferences& preferences = preferences_;
        preferences.setListTextSize(
            std::clamp(preferences.listTextSize() + steps, smallestText, largestText));
    }
    event->accept();
}

void ResultTable::showMenu(const QPoint& where) {
    if (!session_.selectedRow() || !actions_) return;
    QMenu menu(this);
    menu.setObjectName("resultMenu");
    menu.setAccessibleName(tr("Result actions"));
    for (QAction* action : actions_->rowMenu()) {
        if (action)
            menu.addAction(action);
        else
            menu.addSeparator();
    }
    menu.exec(viewport()->mapToGlobal(where));
}

void ResultTable::startDrag(Qt::DropActions) {
    const auto rows = session_.actionRows();
    if (rows.empty()) return;
    fileActions_.recordQuery();
    std::vector<std::string> paths;
    for (const SearchRow& row : rows)
        paths.push_back(ResultModel::pathBytes(row));
    auto* drag = new QDrag(this);
    drag->setMimeData(FileActions::pathsData(paths));
    if (const QVariant icon = model_.data(currentIndex().siblingAtColumn(0), Qt::DecorationRole);
        icon.canConvert<QIcon>())
        drag->setPixmap(icon.value<QIcon>().pixmap(iconSize()));
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

} // namespace vesko
