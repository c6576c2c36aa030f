// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ActionNotice.h"

#include "store/FileActionCenter.h"
#include "store/ShownText.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vesko {
namespace {

QString shown(const std::string& bytes) {
    return shownText(bytes);
}

QString folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return shown(slash == 0 ? "/" : path.substr(0, slash));
}

QString nameOf(const std::string& path) {
    return shown(path.substr(path.rfind('/') + 1));
}

} // namespace

ActionNotice::ActionNotice(FileActionCenter& fileActions, QWidget* parent)
    : QFrame(parent), fileActions_(fileActions), text_(new QLabel(this)),
      undo_(new QPushButton(this)), close_(new QToolButton(this)) {
    setObjectName("actionNotice");
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    text_->setObjectName("actionNoticeText");
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    undo_->setObjectName("undoFileAction");
    undo_->setFocusPolicy(Qt::TabFocus);
    close_->setObjectName("dismissActionNotice");
    close_->setAutoRaise(true);
    close_->setIcon(QIcon::fromTheme(
        "window-close", QApplication::style()->standardIcon(QStyle::SP_TitleBarCloseButton)));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(text_, 1);
    row->addWidget(undo_);
    row->addWidget(close_);
    connect(undo_, &QPushButton::clicked, &fileActions_, &FileActionCenter::undoLastAction);
    connect(close_, &QToolButton::clicked, &fileActions_, &FileActionCenter::forgetUndo);
    connect(&fileActions_, &FileActionCenter::undoChanged, this, &ActionNotice::follow);
    follow();
}

QString ActionNotice::text() const {
    return text_->text();
}

void ActionNotice::follow() {
    const auto& undo = fileActions_.lastUndo();
    setVisible(undo.has_value());
    undo_->setText(tr("Undo"));
    undo_->setToolTip(QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText));
    close_->setAccessibleName(tr("Dismiss"));
    if (!undo) return text_->clear();
    if (undo->kind == FileActionUndo::Kind::rename)
        text_->setText(tr("“%1” renamed to “%2”.").arg(shown(undo->oldName), shown(undo->newName)));
    else if (undo->trashed.size() == 1)
        text_->setText(
            tr("“%1” moved from %2 to the Trash.")
                .arg(nameOf(undo->trashed[0].original), folderOf(undo->trashed[0].original)));
    else
        text_->setText(tr("%1 items moved to the Trash.")
                           .arg(QLocale().toString(static_cast<qint64>(undo->trashed.size()))));
    setAccessibleName(text_->text());
}

void ActionNotice::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) follow();
    QFrame::changeEvent(event);
}

} // namespace vesko
