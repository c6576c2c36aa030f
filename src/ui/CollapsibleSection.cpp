// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CollapsibleSection.h"

#include "store/Settings.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace vesko {
namespace {

// The title button of a section; it knows whether its section is open.
class SectionHeader : public QToolButton {
public:
    SectionHeader(const CollapsibleSection& section, QWidget* parent)
        : QToolButton(parent), section_(section) {}
    bool isOpen() const { return section_.isOpen(); }

private:
    const CollapsibleSection& section_;
};

// A plain button says nothing of what it folds; a screen reader hears "expanded" or
// "collapsed" from this, as it does from a tree's branches.
class SectionHeaderAccessible : public QAccessibleWidget {
public:
    explicit SectionHeaderAccessible(SectionHeader* header)
        : QAccessibleWidget(header, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const bool open = header()->isOpen();
        state.expandable = true;
        state.expanded = open;
        state.collapsed = !open;
        return state;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction() || action == toggleAction())
            header()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    SectionHeader* header() const { return static_cast<SectionHeader*>(widget()); }
};

QAccessibleInterface* sectionHeaderInterface(const QString&, QObject* object) {
    auto* header = dynamic_cast<SectionHeader*>(object);
    return header ? new SectionHeaderAccessible(header) : nullptr;
}

} // namespace

CollapsibleSection::CollapsibleSection(Settings& settings, std::string key, QWidget* parent)
    : QWidget(parent), settings_(settings), key_(std::move(key)),
      header_(new SectionHeader(*this, this)), summary_(new QLabel(this)), body_(new QWidget(this)),
      bodyLayout_(new QVBoxLayout(body_)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(sectionHeaderInterface);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
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
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(header_, changed);
    QAccessible::updateAccessibility(&event);
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
