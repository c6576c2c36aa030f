// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ResultDelegate.h"

#include "search/Highlight.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "store/ShownText.h"
#include "ui/DisplayText.h"
#include "ui/ElidedText.h"
#include "ui/ResultModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace vesko {

ResultDelegate::ResultDelegate(SearchSession& session, Preferences& preferences, QObject* parent)
    : QStyledItemDelegate(parent) {
    // Taken with the rows: changing the preference searches again, so the rows that arrive
    // next were matched with the value read here.
    const auto follow = [this, &session, &preferences] {
        initialConsonants_ = preferences.initialConsonants();
        matchDiacritics_ = session.filters().matchDiacritics;
        terms_.clear();
        for (const QString& term : session.highlightTerms())
            terms_.push_back(term.toStdString());
    };
    follow();
    connect(&session, &SearchSession::rowsChanged, this, follow);
}

std::vector<ResultDelegate::Span> ResultDelegate::spans(const std::vector<std::string>& terms,
                                                        const QString& name, bool initialConsonants,
                                                        bool matchDiacritics) {
    std::vector<Span> spans;
    if (terms.empty()) return spans;
    const std::u16string_view text(reinterpret_cast<const char16_t*>(name.utf16()),
                                   static_cast<std::size_t>(name.size()));
    for (const Highlight::Range& range :
         Highlight::ranges(terms, text, initialConsonants, matchDiacritics))
        spans.emplace_back(static_cast<int>(range.start),
                           static_cast<int>(range.end - range.start));
    return spans;
}

void ResultDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // A kind or a date reads from its start; a path is cut where it is drawn.
    option->textElideMode = Qt::ElideRight;
}

bool ResultDelegate::isPath(const QModelIndex& index) {
    const auto* model = qobject_cast<const ResultModel*>(index.model());
    return model && model->columnAt(index.column()) == ResultModel::Column::path;
}

namespace {

// Draws the cell's background, selection and focus but not its text, which the caller draws
// itself; `item` keeps the cell's options and returns its text. The text's rectangle.
QRect drawWithoutText(QPainter* painter, QStyleOptionViewItem& item, QString& text) {
    text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    return style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
}

QColor textColor(const QStyleOptionViewItem& item) {
    const QPalette::ColorGroup group =
        item.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    return item.palette.color(group, item.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                         : QPalette::Text);
}

} // namespace

void ResultDelegate::paintRightAligned(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QString text;
    // A number set flush against the next column's left-aligned text would read as one word.
    const QRect textRect = drawWithoutText(painter, item, text).adjusted(0, 0, -rightPadding, 0);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(textColor(item));
    painter->drawText(textRect, Qt::AlignRight | Qt::AlignVCenter,
                      item.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

// Rows share the start of their folders; what tells them apart is the end, so that stays.
void ResultDelegate::paintPath(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    QString path;
    const QRect textRect = drawWithoutText(painter, item, path).adjusted(margin, 0, -margin, 0);
    const QString separator = path.contains(u'/')
                                  ? DisplayText::pathSeparator(PathBarStyle::plain)
                                  : DisplayText::pathSeparator(PathBarStyle::breadcrumb);
    // Measured with the font it is drawn in: the list's text size is not the style's.
    const QString shown =
        ElidedText::path(path, QFontMetrics(item.font), textRect.width(), separator);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(textColor(item));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter->restore();
}

void ResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight) {
        paintRightAligned(painter, option, index);
        return;
    }
    if (isPath(index)) {
        paintPath(painter, option, index);
        return;
    }
    // Escapes in a name (a newline, an override, a byte that is not UTF-8) are drawn fainter
    // than the name, so "a\nb" typed with a backslash and a real line break read apart.
    const auto* model = qobject_cast<const ResultModel*>(index.model());
    const auto row =
        index.column() == 0 && model ? model->rowAt(index.row()) : std::optional<SearchRow>();
    EscapeSpans escapes;
    if (row) shownText(row->name, &escapes);
    if (index.column() != 0 || (terms_.empty() && escapes.empty())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    QString name;
    const QRect textRect = drawWithoutText(painter, item, name).adjusted(2, 0, -2, 0);
    QFont bold = item.font;
    bold.setBold(true);
    const std::vector<Span> emphasised = spans(name);
    // Eliding with the bold metrics keeps the emphasised text inside the cell; the cut keeps
    // the first match in sight, since that is why the row is listed.
    const int matchStart = emphasised.empty() ? 0 : emphasised.front().first;
    const int matchEnd = emphasised.empty() ? 0 : matchStart + emphasised.front().second;
    const ElidedText::Window window =
        ElidedText::around(name, matchStart, matchEnd, QFontMetrics(bold), textRect.width());
    const QString& shown = window.text;
    QList<QTextLayout::FormatRange> formats;
    QColor faint = textColor(item);
    faint.setAlphaF(0.55f);
    const auto format = [&](const Span& span, const QTextCharFormat& look) {
        const int first = std::max(span.first, window.from);
        const int end = std::min(span.first + span.second, window.from + window.length);
        if (first >= end) return;
        QTextLayout::FormatRange range;
        range.start = window.shownAt(first);
        range.length = end - first;
        range.format = look;
        formats.append(range);
    };
    QTextCharFormat strong;
    strong.setFontWeight(QFont::Bold);
    for (const Span& span : emphasised)
        format(span, strong);
    QTextCharFormat escape;
    escape.setForeground(faint);
    for (const auto& [start, length] : escapes)
        format({start, length}, escape);
    QTextLayout layout(shown, item.font);
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(textRect.width());
    layout.endLayout();
    painter->save();
    painter->setPen(textColor(item));
    const qreal top = textRect.top() + (textRect.height() - line.height()) / 2;
    layout.draw(painter, QPointF(textRect.left(), top));
    painter->restore();
}

} // namespace vesko
