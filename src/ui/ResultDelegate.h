// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a result row's name with the query's terms emphasised; the other columns are drawn
// the standard way. The terms come with each result, so the ranges follow the search.
#pragma once

#include <QStyledItemDelegate>

#include <string>
#include <utility>
#include <vector>

namespace vesko {

class SearchSession;
class Preferences;

class ResultDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Start and length in the name's UTF-16 positions.
    using Span = std::pair<int, int>;

    ResultDelegate(SearchSession& session, Preferences& preferences, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The parts of `name` to emphasise for the current result's terms.
    std::vector<Span> spans(const QString& name) const {
        return spans(terms_, name, initialConsonants_, matchDiacritics_);
    }
    static std::vector<Span> spans(const std::vector<std::string>& terms, const QString& name,
                                   bool initialConsonants = true, bool matchDiacritics = false);

    // Space kept after right-aligned text, in pixels; the size column's title keeps it too.
    static constexpr int rightPadding = 10;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    void paintRightAligned(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const;
    void paintPath(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
    static bool isPath(const QModelIndex& index);

    std::vector<std::string> terms_;
    bool initialConsonants_ = true;
    bool matchDiacritics_ = false;
};

} // namespace vesko
