// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SandboxNotice.h"

#include "store/IndexLifecycle.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vesko {

SandboxNotice::SandboxNotice(IndexLifecycle& lifecycle, QWidget* parent)
    : QFrame(parent), lifecycle_(lifecycle), text_(new QLabel(this)),
      explanation_(new QLabel(this)), whichOnes_(new QPushButton(this)),
      checkAgain_(new QPushButton(this)), dismiss_(new QPushButton(this)) {
    setObjectName("sandboxNotice");
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon::fromTheme("view-hidden", QApplication::style()->standardIcon(
                                                        QStyle::SP_MessageBoxWarning))
                        .pixmap(16, 16));
    text_->setWordWrap(true);
    whichOnes_->setCheckable(true);
    explanation_->setWordWrap(true);
    explanation_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    explanation_->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text_, 1);
    row->addWidget(whichOnes_);
    row->addWidget(checkAgain_);
    row->addWidget(dismiss_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addLayout(row);
    layout->addWidget(explanation_);

    connect(whichOnes_, &QPushButton::toggled, explanation_, &QWidget::setVisible);
    // A sandbox given access needs a new scan anyway; the permission is checked when it ends.
    connect(checkAgain_, &QPushButton::clicked, &lifecycle_, &IndexLifecycle::rebuildQuietly);
    connect(dismiss_, &QPushButton::clicked, this, [this] {
        dismissed_ = true;
        follow();
    });
    connect(&lifecycle_, &IndexLifecycle::phaseChanged, this, &SandboxNotice::follow);
    connect(&lifecycle_, &IndexLifecycle::reportChanged, this, &SandboxNotice::follow);
    retranslate();
    follow();
}

void SandboxNotice::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QFrame::changeEvent(event);
}

void SandboxNotice::retranslate() {
    text_->setText(tr("Some folders in your home folder can't be read."));
    setAccessibleName(text_->text());
    whichOnes_->setText(tr("Which ones?"));
    checkAgain_->setText(tr("Check Again"));
    dismiss_->setText(tr("Dismiss"));
    explanation_->setText(
        QStringLiteral("• ") + tr("Vesko runs in a sandbox that cannot read your home folder.") +
        QStringLiteral("\n") +
        tr("Grant it access to your home folder (Flatpak: flatpak override --user "
           "--filesystem=home app.vesko.Vesko), then Check Again."));
}

void SandboxNotice::follow() {
    setVisible(!dismissed_ && lifecycle_.permission() == Permissions::Status::denied);
}

} // namespace vesko
