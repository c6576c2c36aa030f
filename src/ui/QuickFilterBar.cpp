// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QuickFilterBar.h"

#include "store/SearchSession.h"
#include "ui/FilterSummary.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>

namespace vesko {
namespace {

template <Filters::Family family> bool holdsFamily(const Filters& f) {
    return f.family == family;
}
template <Filters::Family family> void applyFamily(Filters& f, bool on) {
    f.chooseFamily(on ? family : Filters::Family::any);
}
template <Filters::Family family> QString familyWords() {
    return FilterSummary::familyText(family);
}
template <Filters::DateRange range> bool holdsRange(const Filters& f) {
    return f.modified == range;
}
template <Filters::DateRange range> void applyRange(Filters& f, bool on) {
    f.modified = on ? range : Filters::DateRange::any;
}
template <Filters::DateRange range> QString rangeWords() {
    return FilterSummary::rangeText(range);
}
bool holdsFolders(const Filters& f) {
    return f.kind == Filters::Kind::foldersOnly;
}
void applyFolders(Filters& f, bool on) {
    f.chooseKind(on ? Filters::Kind::foldersOnly : Filters::Kind::all);
}
QString foldersWords() {
    return QCoreApplication::translate("vesko::SidebarView", "Folders");
}

} // namespace

QuickFilterBar::QuickFilterBar(SearchSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("quickFilters");
    // A set filter hides results, so it must stand out in either appearance; the style's
    // own sunken look is close to invisible in a dark palette.
    setStyleSheet(QStringLiteral(
        "QToolButton { padding: 2px 6px; border: 1px solid transparent; border-radius: 4px; }"
        "QToolButton:focus { border-color: palette(highlight); }"
        "QToolButton:checked { background: palette(highlight); color: palette(highlighted-text); "
        "}"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(2);
    using F = Filters::Family;
    using R = Filters::DateRange;
    add("quickDocuments", holdsFamily<F::documents>, applyFamily<F::documents>,
        familyWords<F::documents>);
    add("quickFolders", holdsFolders, applyFolders, foldersWords);
    add("quickImages", holdsFamily<F::images>, applyFamily<F::images>, familyWords<F::images>);
    add("quickAudio", holdsFamily<F::audio>, applyFamily<F::audio>, familyWords<F::audio>);
    add("quickVideo", holdsFamily<F::video>, applyFamily<F::video>, familyWords<F::video>);
    add("quickArchives", holdsFamily<F::archives>, applyFamily<F::archives>,
        familyWords<F::archives>);
    add("quickCode", holdsFamily<F::code>, applyFamily<F::code>, familyWords<F::code>);
    const std::size_t kinds = choices_.size();
    add("quickToday", holdsRange<R::today>, applyRange<R::today>, rangeWords<R::today>);
    add("quickThisWeek", holdsRange<R::thisWeek>, applyRange<R::thisWeek>, rangeWords<R::thisWeek>);
    add("quickThisMonth", holdsRange<R::thisMonth>, applyRange<R::thisMonth>,
        rangeWords<R::thisMonth>);
    add("quickThisYear", holdsRange<R::thisYear>, applyRange<R::thisYear>, rangeWords<R::thisYear>);
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        if (i == kinds) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Sunken);
            row->addSpacing(6);
            row->addWidget(line);
            row->addSpacing(6);
        }
        row->addWidget(choices_[i].button);
    }
    row->addStretch();
    connect(&session_, &SearchSession::filtersChanged, this, &QuickFilterBar::showFilters);
    retranslate();
    showFilters();
}

void QuickFilterBar::add(const char* name, bool (*holds)(const Filters&),
                         void (*apply)(Filters&, bool), QString (*text)()) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Reachable with Tab and worked with Space, like the sidebar's controls.
    button->setFocusPolicy(Qt::StrongFocus);
    connect(button, &QToolButton::clicked, this, [this, apply](bool on) {
        Filters filters = session_.filters();
        apply(filters, on);
        session_.setFilters(filters);
    });
    choices_.push_back({button, holds, text});
}

void QuickFilterBar::showFilters() {
    const Filters& filters = session_.filters();
    for (const Choice& choice : choices_) {
        const QSignalBlocker blocker(choice.button);
        choice.button->setChecked(choice.holds(filters));
    }
}

void QuickFilterBar::retranslate() {
    setAccessibleName(QCoreApplication::translate("vesko::SidebarView", "Quick filters"));
    for (const Choice& choice : choices_)
        choice.button->setText(choice.text());
}

void QuickFilterBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

} // namespace vesko
