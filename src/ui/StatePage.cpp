// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StatePage.h"

#include "store/SearchSession.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vesko {

StatePage::StatePage(SearchSession& session, QWidget* parent)
    : QWidget(parent), session_(session), icon_(new QLabel(this)), title_(new QLabel(this)),
      note_(new QLabel(this)), clearFilters_(new QPushButton(this)) {
    setObjectName("statePage");
    title_->setObjectName("stateTitle");
    note_->setObjectName("stateNote");
    clearFilters_->setObjectName("clearFiltersButton");
    retranslate();
    QFont large = title_->font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    title_->setFont(large);
    for (QLabel* label : {icon_, title_, note_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    note_->setForegroundRole(QPalette::PlaceholderText);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(2);
    layout->addWidget(icon_);
    layout->addWidget(title_);
    layout->addWidget(note_);
    layout->addWidget(clearFilters_, 0, Qt::AlignHCenter);
    layout->addStretch(3);
    connect(clearFilters_, &QPushButton::clicked, this, [this] { session_.setFilters(Filters{}); });
}

void StatePage::retranslate() {
    clearFilters_->setText(tr("Clear"));
    clearFilters_->setAccessibleName(tr("Clear filters"));
}

void StatePage::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        if (shown_) showState(*shown_);
    }
    QWidget::changeEvent(event);
}

QString StatePage::title() const {
    return title_->text();
}

QString StatePage::note() const {
    return note_->text();
}

void StatePage::set(const QString& icon, const QString& title, const QString& note) {
    const QIcon shown = icon.isEmpty() ? QIcon() : QIcon::fromTheme(icon);
    icon_->setPixmap(shown.isNull() ? QPixmap() : shown.pixmap(48, 48));
    icon_->setVisible(!shown.isNull());
    title_->setText(title);
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    setAccessibleName(title);
}

void StatePage::showState(ContentState state) {
    shown_ = state;
    clearFilters_->hide();
    switch (state) {
    case ContentState::building:
        return set({}, tr("Building index…"), tr("First run only"));
    case ContentState::emptyQuery:
        return set("edit-find", tr("Type to search"),
                   tr("Substring match. No wildcards or regular expressions."));
    case ContentState::reading:
        return set({}, tr("Reading files…"), tr("Narrow by name to make this fast"));
    case ContentState::regexProblem:
        // A pattern merely malformed is said by the title alone.
        set("dialog-warning", tr("Invalid regular expression"),
            session_.regexProblemIsGeneric() ? QString() : session_.regexProblem());
        if (icon_->isHidden()) {
            icon_->setPixmap(
                QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48));
            icon_->show();
        }
        return;
    case ContentState::pressReturn:
        return set("key-enter", tr("Press Return to search"),
                   tr("Or turn on “Search as you type” in Settings."));
    case ContentState::noResults: {
        const int hiding = session_.filters().activeCount();
        set({}, tr("No results"),
            hiding > 0 ? tr("%1 filters are hiding results").arg(hiding) : QString());
        clearFilters_->setVisible(hiding > 0);
        return;
    }
    case ContentState::results:
        return;
    }
}

} // namespace vesko
