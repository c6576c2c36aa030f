// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WatchNotice.h"

#include "store/IndexLifecycle.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vesko {

WatchNotice::WatchNotice(IndexLifecycle& lifecycle, QWidget* parent)
    : QFrame(parent), lifecycle_(lifecycle), text_(new QLabel(this)), command_(new QLabel(this)),
      copy_(new QPushButton(this)) {
    setObjectName("watchNotice");
    setFrameShape(QFrame::StyledPanel);
    setBackgroundRole(QPalette::AlternateBase);
    setAutoFillBackground(true);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon::fromTheme("dialog-information", QApplication::style()->standardIcon(
                                                               QStyle::SP_MessageBoxInformation))
                        .pixmap(16, 16));
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    command_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command_->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(text_);
    texts->addWidget(command_);
    row->addLayout(texts, 1);
    row->addWidget(copy_, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addLayout(row);
    connect(copy_, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(
            QStringLiteral("sudo sysctl fs.inotify.max_user_watches=%1")
                .arg(lifecycle_.suggestedWatchLimit()));
    });
    connect(&lifecycle_, &IndexLifecycle::watchHealthChanged, this, &WatchNotice::follow);
    follow();
}

void WatchNotice::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) follow();
    QFrame::changeEvent(event);
}

QString WatchNotice::text() const {
    return text_->text();
}

QString WatchNotice::command() const {
    return command_->text();
}

void WatchNotice::follow() {
    QStringList lines;
    const bool limit = lifecycle_.watchLimitReached() || lifecycle_.unwatchedFolders() > 0;
    if (limit)
        lines << tr("%1 folders are not watched for changes: the system's limit on watched folders "
                    "is reached. Changes there appear only when they are re-checked.")
                     .arg(QLocale().toString(lifecycle_.unwatchedFolders()));
    if (lifecycle_.isRecoveringOverflow())
        lines << tr("Too many changes at once: re-checking the indexed folders…");
    for (const auto& root : lifecycle_.unreadableRoots())
        lines << tr("Cannot read %1: %2")
                     .arg(QString::fromStdString(root.path), qt_error_string(root.error));
    if (const QStringList gone = lifecycle_.vanishedRoots(); !gone.isEmpty())
        lines << tr("No longer found: %1").arg(gone.join(QStringLiteral(", ")));
    copy_->setText(tr("Copy Command"));
    text_->setText(lines.join(u'\n'));
    const QString setting =
        QStringLiteral("fs.inotify.max_user_watches=%1").arg(lifecycle_.suggestedWatchLimit());
    command_->setText(limit ? tr("To raise the limit: %1\nTo keep it after a restart, add the line "
                                 "%2 to a file in /etc/sysctl.d/")
                                  .arg(QStringLiteral("sudo sysctl ") + setting, setting)
                            : QString());
    command_->setVisible(limit);
    copy_->setVisible(limit);
    setAccessibleName(text_->text());
    setVisible(!lines.isEmpty());
}

} // namespace vesko
