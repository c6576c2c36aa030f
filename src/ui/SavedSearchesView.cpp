// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SavedSearchesView.h"
#include "ui/RowList.h"

#include "store/FileActionCenter.h"
#include "ui/RowButton.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vesko {

SavedSearchesView::SavedSearchesView(FileActionCenter& fileActions, QWidget* parent)
    : QWidget(parent), fileActions_(fileActions), rows_(new QVBoxLayout),
      saveButton_(new RowButton(this)), nameField_(new QLineEdit(this)) {
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    saveButton_->setObjectName("saveCurrentSearch");
    saveButton_->setIcon(
        QIcon::fromTheme("document-save", style()->standardIcon(QStyle::SP_DialogSaveButton)));
    nameField_->setObjectName("savedSearchName");
    nameField_->setVisible(false);
    nameField_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(rows_);
    layout->addWidget(saveButton_);
    layout->addWidget(nameField_);

    connect(saveButton_, &QPushButton::clicked, this, &SavedSearchesView::startNaming);
    connect(nameField_, &QLineEdit::returnPressed, this, &SavedSearchesView::confirmName);
    connect(&fileActions_, &FileActionCenter::savedSearchesChanged, this,
            &SavedSearchesView::showRows);
    retranslate();
    showRows();
}

bool SavedSearchesView::isNaming() const {
    return !nameField_->isHidden();
}

void SavedSearchesView::startNaming() {
    nameField_->show();
    nameField_->setFocus(Qt::OtherFocusReason);
}

void SavedSearchesView::confirmName() {
    const QString name = nameField_->text();
    cancelNaming();
    fileActions_.saveCurrentSearch(name);
}

void SavedSearchesView::cancelNaming() {
    nameField_->clear();
    nameField_->hide();
}

bool SavedSearchesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == nameField_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelNaming();
        saveButton_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SavedSearchesView::showRows() {
    QVBoxLayout* rows = RowList::replace(rowsBox_, this, rows_, 0);
    for (const SavedSearch& saved : fileActions_.savedSearches()) {
        auto* row = new QHBoxLayout;
        auto* apply = new RowButton(rowsBox_);
        apply->setObjectName("savedSearch");
        apply->setFullText(saved.name);
        connect(apply, &QPushButton::clicked, this, [this, saved] { fileActions_.apply(saved); });
        QToolButton* remove =
            RowList::removeButton(rowsBox_, "removeSavedSearch", "window-close", saved.name);
        connect(remove, &QToolButton::clicked, this,
                [this, saved] { fileActions_.removeSavedSearch(saved); });
        row->addWidget(apply, 1);
        row->addWidget(remove);
        rows->addLayout(row);
    }
}

void SavedSearchesView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        showRows();
    }
    QWidget::changeEvent(event);
}

void SavedSearchesView::retranslate() {
    saveButton_->setFullText(tr("Save Current Search…"));
    nameField_->setPlaceholderText(tr("Name"));
    nameField_->setAccessibleName(tr("Name"));
}

} // namespace vesko
