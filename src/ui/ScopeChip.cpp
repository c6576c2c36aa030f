// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ScopeChip.h"

#include "store/Preferences.h"
#include "store/SearchScope.h"
#include "store/ShownText.h"
#include "ui/DisplayText.h"
#include "ui/ElidedText.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace vesko {

ScopeChip::ScopeChip(SearchScope& scope, Preferences& preferences, QWidget* parent)
    : QWidget(parent), scope_(scope), preferences_(preferences), prefix_(new QLabel(this)),
      path_(new QLabel(this)), state_(new QLabel(this)), cancel_(new QToolButton(this)),
      add_(new QToolButton(this)), clear_(new QToolButton(this)) {
    setObjectName("scopeChip");
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    path_->setObjectName("scopePath");
    path_->setMinimumWidth(80);
    path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    path_->installEventFilter(this);
    state_->setObjectName("scopeState");
    cancel_->setObjectName("scopeCancel");
    add_->setObjectName("scopeAdd");
    clear_->setObjectName("scopeClear");
    // Themes without edit-clear (Adwaita on a bare window manager) get the style's own, the
    // same cross the search field's clear button shows.
    clear_->setIcon(
        QIcon::fromTheme("edit-clear", style()->standardIcon(QStyle::SP_LineEditClearButton)));
    clear_->setAutoRaise(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 4, 2);
    layout->addWidget(prefix_);
    layout->addWidget(path_, 1);
    layout->addWidget(state_);
    layout->addWidget(cancel_);
    layout->addWidget(add_);
    layout->addWidget(clear_);
    // The path grows only up to its whole text, so the buttons stay beside it.
    layout->addStretch(1);
    connect(cancel_, &QToolButton::clicked, &scope_, &SearchScope::clear);
    connect(clear_, &QToolButton::clicked, &scope_, &SearchScope::clear);
    connect(add_, &QToolButton::clicked, &scope_, &SearchScope::addToRoots);
    connect(&scope_, &SearchScope::changed, this, &ScopeChip::follow);
    connect(&scope_, &SearchScope::progressChanged, this, &ScopeChip::follow);
    connect(&preferences_, &Preferences::changed, this, &ScopeChip::follow);
    follow();
}

void ScopeChip::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) follow();
    QWidget::changeEvent(event);
}

// The path is cut to the width its label gets, whenever the layout gives it another.
bool ScopeChip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == path_ && event->type() == QEvent::Resize) showPath();
    return QWidget::eventFilter(watched, event);
}

void ScopeChip::follow() {
    const SearchScope::State state = scope_.state();
    setVisible(state != SearchScope::State::none);
    prefix_->setText(tr("In:"));
    pathText_ = DisplayText::pathText(preferences_.pathBarStyle(), shownText(scope_.path()),
                                      QDir::homePath());
    path_->setToolTip(shownText(scope_.path()));
    showPath();
    switch (state) {
    case SearchScope::State::walking:
        state_->setText(tr("Reading the folder… %Ln folder(s)", nullptr,
                           static_cast<int>(std::min<qint64>(scope_.foldersRead(), INT_MAX))));
        break;
    case SearchScope::State::failed:
        state_->setText(tr("This folder cannot be read"));
        break;
    case SearchScope::State::outside:
        state_->setText(tr("Not in the indexed folders"));
        break;
    default:
        state_->clear();
    }
    state_->setVisible(!state_->text().isEmpty());
    cancel_->setText(tr("Cancel"));
    cancel_->setVisible(state == SearchScope::State::walking);
    add_->setText(tr("Add to Indexed Folders"));
    // Roots are kept as text (see SearchScope::addToRoots).
    const std::string& bytes = scope_.path();
    add_->setVisible(state == SearchScope::State::outside &&
                     QString::fromStdString(bytes).toStdString() == bytes);
    clear_->setText(tr("Search Everywhere"));
    clear_->setToolTip(tr("Search Everywhere (Backspace in the empty search field)"));
    clear_->setAccessibleName(clear_->text());
    clear_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setAccessibleName(tr("Searching in %1").arg(path_->toolTip()));
}

void ScopeChip::showPath() {
    path_->setMaximumWidth(
        std::max(path_->minimumWidth(), path_->fontMetrics().horizontalAdvance(pathText_) + 8));
    path_->setText(ElidedText::path(pathText_, path_->fontMetrics(), path_->contentsRect().width(),
                                    DisplayText::pathSeparator(preferences_.pathBarStyle())));
}

} // namespace vesko
