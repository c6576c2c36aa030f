// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RenameDialog.h"

#include "store/ShownText.h"
#include "ui/ActionProblemText.h"
#include "ui/ResultModel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesko {
namespace {

// The part before the extension: "report" of "report.tar.gz" is too clever, so only the
// last one counts; a leading dot (".bashrc") is part of the name, and folders have none.
int stemLength(const QString& name, bool isDirectory) {
    const int dot = name.lastIndexOf(u'.');
    return isDirectory || dot <= 0 ? static_cast<int>(name.size()) : dot;
}

} // namespace

RenameDialog::RenameDialog(const SearchRow& row, Attempt attempt, QWidget* parent)
    : QDialog(parent), name_(ResultModel::nameText(row)), attempt_(std::move(attempt)),
      field_(new QLineEdit(name_, this)), problem_(new QLabel(this)) {
    setObjectName("renameDialog");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Rename"));
    setMinimumWidth(480);
    auto* label =
        new QLabel(tr("New name for “%1” in %2:").arg(name_, shownText(row.directory)), this);
    label->setWordWrap(true);
    label->setBuddy(field_);
    field_->setObjectName("renameField");
    field_->setAccessibleName(tr("New name"));
    field_->setSelection(0, stemLength(name_, row.isDirectory));
    problem_->setObjectName("renameProblem");
    problem_->setWordWrap(true);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Rename"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &RenameDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RenameDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(field_);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

QString RenameDialog::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void RenameDialog::accept() {
    const QString typed = field_->text();
    if (const auto refused = attempt_(typed)) {
        problem_->setText(tr("Could not rename “%1” to “%2”: %3")
                              .arg(name_, typed.trimmed(), ActionProblemText::sentence(*refused)));
        problem_->setAccessibleName(problem_->text());
        problem_->show();
        field_->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace vesko
