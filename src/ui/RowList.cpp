// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RowList.h"

#include <QCoreApplication>
#include <QIcon>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace vesko::RowList {

QVBoxLayout* replace(QWidget*& box, QWidget* owner, QVBoxLayout* host, int spacing) {
    if (box) {
        box->hide();
        box->deleteLater();
    }
    box = new QWidget(owner);
    auto* rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(spacing);
    host->addWidget(box);
    return rows;
}

QToolButton* removeButton(QWidget* parent, const char* objectName, const QString& iconName,
                          const QString& what) {
    auto* remove = new QToolButton(parent);
    remove->setObjectName(objectName);
    remove->setAutoRaise(true);
    remove->setIcon(
        QIcon::fromTheme(iconName, parent->style()->standardIcon(QStyle::SP_LineEditClearButton)));
    remove->setToolTip(QCoreApplication::translate("vesko::RowList", "Remove"));
    remove->setAccessibleName(QCoreApplication::translate("vesko::RowList", "Remove %1").arg(what));
    return remove;
}

} // namespace vesko::RowList
