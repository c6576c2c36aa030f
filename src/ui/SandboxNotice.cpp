// SPDX-License-Identifier: MIT
#include "ui/SandboxNotice.h"

#include "store/IndexStore.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vesko {

SandboxNotice::SandboxNotice(IndexStore& store, QWidget* parent)
    : QFrame(parent), store_(store), explanation_(new QLabel(this)),
      whichOnes_(new QPushButton(tr("Which ones?"), this)) {
    setObjectName("sandboxNotice");
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon::fromTheme("view-hidden", QApplication::style()->standardIcon(
                                                        QStyle::SP_MessageBoxWarning))
                        .pixmap(16, 16));
    auto* text = new QLabel(tr("Some folders in your home folder can't be read."), this);
    text->setWordWrap(true);
    setAccessibleName(text->text());
    auto* checkAgain = new QPushButton(tr("Check Again"), this);
    auto* dismiss = new QPushButton(tr("Dismiss"), this);
    whichOnes_->setCheckable(true);
    explanation_->setText(
        QStringLiteral("• ") + tr("Vesko runs in a sandbox that cannot read your home folder.") +
        QStringLiteral("\n") +
        tr("Grant it access to your home folder (Flatpak: flatpak override --user "
           "--filesystem=home app.vesko.Vesko), then Check Again."));
    explanation_->setWordWrap(true);
    explanation_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    explanation_->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    row->addWidget(whichOnes_);
    row->addWidget(checkAgain);
    row->addWidget(dismiss);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addLayout(row);
    layout->addWidget(explanation_);

    connect(whichOnes_, &QPushButton::toggled, explanation_, &QWidget::setVisible);
    // A sandbox given access needs a new scan anyway; the permission is checked when it ends.
    connect(checkAgain, &QPushButton::clicked, &store_, &IndexStore::rebuildQuietly);
    connect(dismiss, &QPushButton::clicked, this, [this] {
        dismissed_ = true;
        follow();
    });
    connect(&store_, &IndexStore::phaseChanged, this, &SandboxNotice::follow);
    connect(&store_, &IndexStore::reportChanged, this, &SandboxNotice::follow);
    follow();
}

void SandboxNotice::follow() {
    setVisible(!dismissed_ && store_.permission() == Permissions::Status::denied);
}

} // namespace vesko
