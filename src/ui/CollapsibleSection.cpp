// SPDX-License-Identifier: MIT
#include "ui/CollapsibleSection.h"

#include "store/Settings.h"

#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace vesko {

CollapsibleSection::CollapsibleSection(Settings& settings, std::string key, QWidget* parent)
    : QWidget(parent), settings_(settings), key_(std::move(key)), header_(new QToolButton(this)),
      summary_(new QLabel(this)), body_(new QWidget(this)), bodyLayout_(new QVBoxLayout(body_)) {
    setObjectName(QString::fromStdString(key_));
    header_->setObjectName(objectName() + "Header");
    header_->setAutoRaise(true);
    header_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont bold = header_->font();
    bold.setBold(true);
    header_->setFont(bold);
    summary_->setObjectName(objectName() + "Summary");
    summary_->setForegroundRole(QPalette::PlaceholderText);
    summary_->setIndent(22);
    summary_->setWordWrap(true);
    bodyLayout_->setContentsMargins(22, 0, 0, 4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(header_);
    layout->addWidget(summary_);
    layout->addWidget(body_);

    open_ = settings_.boolean(key_, false);
    connect(header_, &QToolButton::clicked, this, [this] { setOpen(!open_); });
    showState();
}

bool CollapsibleSection::isOpen() const {
    return open_;
}

void CollapsibleSection::setOpen(bool open) {
    if (open == open_) return;
    open_ = open;
    settings_.setBoolean(key_, open);
    showState();
}

void CollapsibleSection::setTitle(const QString& title) {
    header_->setText(QString(title).replace('&', QStringLiteral("&&")));
    header_->setAccessibleName(title);
}

void CollapsibleSection::setSummary(const QString& summary) {
    summaryText_ = summary;
    showState();
}

void CollapsibleSection::showState() {
    header_->setArrowType(open_ ? Qt::DownArrow : Qt::RightArrow);
    body_->setVisible(open_);
    summary_->setText(summaryText_);
    summary_->setVisible(!open_ && !summaryText_.isEmpty());
    header_->setAccessibleDescription(open_ ? QString() : summaryText_);
}

} // namespace vesko
