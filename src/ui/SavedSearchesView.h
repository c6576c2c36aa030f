// SPDX-License-Identifier: GPL-3.0-or-later
// The user's saved searches inside the sidebar: a row applies one, its button removes it,
// and an inline field saves the current query, filters and sort under a new name.
#pragma once

#include <QWidget>

class QLineEdit;
class QVBoxLayout;

namespace vesko {

class FileActionCenter;
class RowButton;

class SavedSearchesView : public QWidget {
    Q_OBJECT

public:
    explicit SavedSearchesView(FileActionCenter& fileActions, QWidget* parent = nullptr);

    bool isNaming() const;
    // Opens the name field, focused.
    void startNaming();
    // Saves under the typed name (the store ignores a blank one) and closes the field.
    void confirmName();
    void cancelNaming();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRows();
    void retranslate();

    FileActionCenter& fileActions_;
    QVBoxLayout* rows_;
    QWidget* rowsBox_ = nullptr;
    RowButton* saveButton_;
    QLineEdit* nameField_;
};

} // namespace vesko
