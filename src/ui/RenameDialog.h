// SPDX-License-Identifier: GPL-3.0-or-later
// Asks for an item's new name, with the name but not its extension selected. A refused
// rename keeps the dialog open and says why, naming both the old and the typed name.
#pragma once

#include "store/ActionProblem.h"
#include "store/SearchRow.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace vesko {

class RenameDialog : public QDialog {
    Q_OBJECT

public:
    // Renames to the typed text; answers why it could not, or nothing once done.
    using Attempt = std::function<std::optional<ActionProblem>(const QString& typed)>;

    RenameDialog(const SearchRow& row, Attempt attempt, QWidget* parent = nullptr);

    QLineEdit* field() const { return field_; }
    QString problem() const;
    void accept() override;

private:
    QString name_;
    Attempt attempt_;
    QLineEdit* field_;
    QLabel* problem_;
};

} // namespace vesko
