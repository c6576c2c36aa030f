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
    header_->setCheckable(true);
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

    header_->setChecked(settings_.boolean(key_, false));
    connect(header_, &QToolButton::toggled, this, [this](bool open) {
        settings_.setBoolean(key_, open);
        showState();
    });
    showState();
}

bool CollapsibleSection::isOpen() const {
    return header_->isChecked();
}

void CollapsibleSection::setOpen(bool open) {
    header_->setChecked(open);
}

void CollapsibleSection::setTitle(const QString& title) {
    header_->setText(title);
    header_->setAccessibleName(title);
}

void CollapsibleSection::setSummary(const QString& summary) {
    summaryText_ = summary;
    showState();
}

void CollapsibleSection::showState() {
    const bool open = isOpen();
    header_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    body_->setVisible(open);
    summary_->setText(summaryText_);
    summary_->setVisible(!open && !summaryText_.isEmpty());
    header_->setAccessibleDescription(open ? QString() : summaryText_);
}

} // namespace vesko
