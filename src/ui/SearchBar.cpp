// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SearchBar.h"

#include "store/FileActionCenter.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

namespace vesko {

SearchBar::SearchBar(SearchSession& session, FileActionCenter& fileActions,
                     Preferences& preferences, QWidget* parent)
    : QWidget(parent), session_(session), fileActions_(fileActions), preferences_(preferences),
      field_(new QLineEdit(this)), sidebar_(new QToolButton(this)) {
    QStyle* style = QApplication::style();
    field_->setObjectName("searchField");
    search_ = field_->addAction(
        QIcon::fromTheme("edit-find", style->standardIcon(QStyle::SP_FileDialogContentsView)),
        QLineEdit::LeadingPosition);
    search_->setObjectName("searchIcon");
    clear_ = field_->addAction(
        QIcon::fromTheme("edit-clear", style->standardIcon(QStyle::SP_LineEditClearButton)),
        QLineEdit::TrailingPosition);
    clear_->setObjectName("clearButton");
    history_ = field_->addAction(
        QIcon::fromTheme("document-open-recent", style->standardIcon(QStyle::SP_ArrowDown)),
        QLineEdit::TrailingPosition);
    history_->setObjectName("historyButton");
    historyMenu_ = new QMenu(this);
    historyMenu_->setObjectName("searchHistoryMenu");
    historyMenu_->setToolTipsVisible(true);
    field_->installEventFilter(this);

    sidebar_->setObjectName("sidebarToggle");
    sidebar_->setCheckable(true);
    sidebar_->setAutoRaise(true);
    sidebar_->setIcon(QIcon::fromTheme(
        "sidebar-show",
        QIcon::fromTheme("view-sidebar", style->standardIcon(QStyle::SP_FileDialogListView))));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(sidebar_);
    layout->addWidget(field_, 1);

    connect(field_, &QLineEdit::textEdited, &session_, &SearchSession::setQuery);
    connect(clear_, &QAction::triggered, this, [this] {
        field_->clear();
        session_.setQuery(QString());
        field_->setFocus();
    });
    connect(search_, &QAction::triggered, this, [this] {
        if (session_.needsReturn()) session_.search();
        field_->setFocus();
    });
    connect(history_, &QAction::triggered, this, [this] { showHistory(false); });
    connect(sidebar_, &QToolButton::clicked, this,
            [this](bool on) { preferences_.setShowSidebar(on); });
    connect(&session_, &SearchSession::queryChanged, this, &SearchBar::followQuery);
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("showSidebar")) followSidebar();
    });
    followQuery();
    retranslate();
}

void SearchBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void SearchBar::retranslate() {
    field_->setAccessibleName(tr("Search"));
    field_->setPlaceholderText(tr("Search"));
    search_->setText(tr("Search"));
    clear_->setText(tr("Clear"));
    clear_->setToolTip(tr("Clear search"));
    history_->setText(tr("Recent Searches"));
    history_->setToolTip(tr("Recent Searches"));
    historyMenu_->setAccessibleName(tr("Recent Searches"));
    // The actions' buttons are what screen readers see.
    for (QToolButton* button : field_->findChildren<QToolButton*>())
        if (QAction* action = button->defaultAction()) button->setAccessibleName(action->text());
    sidebar_->setToolTip(tr("Filters"));
    sidebar_->setAccessibleName(tr("Filters"));
    followSidebar();
}

void SearchBar::followQuery() {
    // A saved search or a menu command changed the query; typing already matches it.
    if (field_->text() != session_.query()) field_->setText(session_.query());
    clear_->setVisible(!session_.query().isEmpty());
}

void SearchBar::followSidebar() {
    const bool shown = preferences_.showSidebar();
    sidebar_->setChecked(shown);
    sidebar_->setAccessibleDescription(shown ? tr("Shown") : tr("Hidden"));
}

void SearchBar::showHistory(bool fromKeys) {
    fillHistory();
    historyMenu_->popup(field_->mapToGlobal(QPoint(0, field_->height())));
    const auto actions = historyMenu_->actions();
    if (fromKeys && !fileActions_.searchHistory().queries().isEmpty())
        historyMenu_->setActiveAction(actions.front());
}

void SearchBar::fillHistory() {
    SearchHistory& history = fileActions_.searchHistory();
    historyMenu_->clear();
    for (const QString& query : history.queries()) {
        // A query is shown as typed: "&" would otherwise mark a shortcut letter.
        QString label = query;
        auto* action = historyMenu_->addAction(label.replace('&', QStringLiteral("&&")));
        connect(action, &QAction::triggered, this, [this, query] { pick(query); });
    }
    if (history.queries().isEmpty())
        historyMenu_->addAction(tr("No Recent Searches"))->setEnabled(false);
    historyMenu_->addSeparator();
    QAction* keep = historyMenu_->addAction(tr("Keep Search History"));
    keep->setObjectName("keepHistory");
    keep->setCheckable(true);
    keep->setChecked(history.keepsHistory());
    keep->setToolTip(tr("Also remembers which files you open, to put them first by relevance"));
    connect(keep, &QAction::toggled, &history, &SearchHistory::setKeepsHistory);
    QAction* clear = historyMenu_->addAction(tr("Clear History"), &history, &SearchHistory::clear);
    clear->setObjectName("clearHistory");
    clear->setToolTip(tr("Also forgets which files you opened"));
    clear->setEnabled(!history.queries().isEmpty() || history.remembersUses());
}

void SearchBar::pick(const QString& query) {
    field_->setText(query);
    session_.setQuery(query);
    if (session_.needsReturn()) session_.search();
    field_->setFocus(Qt::OtherFocusReason);
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != field_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & ~Qt::KeypadModifier)) {
        if (session_.needsReturn()) session_.search();
        return true;
    }
    const bool upOrDown = key->key() == Qt::Key_Down || key->key() == Qt::Key_Up;
    if (upOrDown && key->modifiers() == Qt::NoModifier && field_->text().isEmpty()) {
        showHistory(true);
        return true;
    }
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
        emit listWanted();
        return true;
    }
    return false;
}

} // namespace vesko
