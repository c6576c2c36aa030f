// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ProblemNotice.h"

#include "store/StoreProblems.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QStyle>
#include <QToolButton>

namespace vesko {

ProblemNotice::ProblemNotice(StoreProblems& problems, QWidget* parent)
    : QFrame(parent), problems_(problems), text_(new QLabel(this)), close_(new QToolButton(this)) {
    setObjectName("problemNotice");
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon::fromTheme("dialog-warning", QApplication::style()->standardIcon(
                                                           QStyle::SP_MessageBoxWarning))
                        .pixmap(16, 16));
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    close_->setObjectName("dismissProblems");
    close_->setAutoRaise(true);
    close_->setIcon(QIcon::fromTheme(
        "window-close", QApplication::style()->standardIcon(QStyle::SP_TitleBarCloseButton)));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text_, 1);
    row->addWidget(close_, 0, Qt::AlignTop);
    connect(close_, &QToolButton::clicked, &problems_, &StoreProblems::clear);
    connect(&problems_, &StoreProblems::changed, this, &ProblemNotice::follow);
    follow();
}

QString ProblemNotice::text() const {
    return text_->text();
}

QString ProblemNotice::sentence(const StoreProblem& problem) {
    using Kind = StoreProblem::Kind;
    switch (problem.kind) {
    case Kind::settingsUnreadable:
        return tr("The settings file %1 could not be read completely; its unreadable lines are "
                  "kept in a copy beside it.")
            .arg(problem.detail);
    case Kind::settingsNotSaved:
        return tr("The settings could not be saved to %1; check that its folder exists and is "
                  "writable.")
            .arg(problem.detail);
    case Kind::buildFailed:
        return tr("The index could not be built: %1").arg(problem.detail);
    case Kind::updateFailed:
        return tr("A change on disk could not be taken into the index: %1").arg(problem.detail);
    case Kind::archiveDisplaced:
        return tr("A folder is where the index file belongs (%1), so the index is saved beside "
                  "it.")
            .arg(problem.detail);
    }
    return problem.detail;
}

void ProblemNotice::follow() {
    QStringList lines;
    const QLocale locale;
    for (const StoreProblem& problem : problems_.list()) {
        QString line = locale.toString(problem.since, QLocale::ShortFormat) + QStringLiteral("  ") +
                       sentence(problem);
        if (problem.count > 1) line += QStringLiteral(" (×%1)").arg(locale.toString(problem.count));
        lines << line;
    }
    text_->setText(lines.join(u'\n'));
    close_->setAccessibleName(tr("Dismiss"));
    setAccessibleName(text_->text());
    setVisible(!lines.isEmpty());
}

void ProblemNotice::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) follow();
    QFrame::changeEvent(event);
}

} // namespace vesko
