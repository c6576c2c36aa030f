// SPDX-License-Identifier: MIT
#include "ui/SearchBar.h"

#include "store/IndexStore.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace vesko {

SearchBar::SearchBar(IndexStore& store, QWidget* parent)
    : QWidget(parent), store_(store), field_(new QLineEdit(this)), sidebar_(new QToolButton(this)) {
    QStyle* style = QApplication::style();
    field_->setObjectName("searchField");
    field_->setAccessibleName(tr("Search"));
    field_->setPlaceholderText(tr("Search"));
    field_->addAction(
        QIcon::fromTheme("edit-find", style->standardIcon(QStyle::SP_FileDialogContentsView)),
        QLineEdit::LeadingPosition);
    clear_ = field_->addAction(
        QIcon::fromTheme("edit-clear", style->standardIcon(QStyle::SP_LineEditClearButton)),
        QLineEdit::TrailingPosition);
    clear_->setObjectName("clearButton");
    clear_->setText(tr("Clear"));
    clear_->setToolTip(tr("Clear search"));
    // The action's button is what screen readers see.
    for (QToolButton* button : field_->findChildren<QToolButton*>())
        if (button->defaultAction() == clear_) button->setAccessibleName(tr("Clear"));
    field_->installEventFilter(this);

    sidebar_->setObjectName("sidebarToggle");
    sidebar_->setCheckable(true);
    sidebar_->setAutoRaise(true);
    sidebar_->setIcon(QIcon::fromTheme(
        "sidebar-show",
        QIcon::fromTheme("view-sidebar", style->standardIcon(QStyle::SP_FileDialogListView))));
    sidebar_->setToolTip(tr("Filters"));
    sidebar_->setAccessibleName(tr("Filters"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(sidebar_);
    layout->addWidget(field_, 1);

    connect(field_, &QLineEdit::textEdited, &store_, &IndexStore::setQuery);
    connect(clear_, &QAction::triggered, this, [this] {
        field_->clear();
        store_.setQuery(QString());
        field_->setFocus();
    });
    connect(sidebar_, &QToolButton::clicked, this,
            [this](bool on) { store_.preferences().setShowSidebar(on); });
    connect(&store_, &IndexStore::queryChanged, this, &SearchBar::followQuery);
    connect(&store_.preferences(), &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("showSidebar")) followSidebar();
    });
    followQuery();
    followSidebar();
}

void SearchBar::followQuery() {
    // A saved search or a menu command changed the query; typing already matches it.
    if (field_->text() != store_.query()) field_->setText(store_.query());
    clear_->setVisible(!store_.query().isEmpty());
}

void SearchBar::followSidebar() {
    const bool shown = store_.preferences().showSidebar();
    sidebar_->setChecked(shown);
    sidebar_->setAccessibleDescription(shown ? tr("Shown") : tr("Hidden"));
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != field_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & ~Qt::KeypadModifier)) {
        if (store_.needsReturn()) store_.search();
        return true;
    }
    if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
        emit listWanted();
        return true;
    }
    return false;
}

} // namespace vesko
