// SPDX-License-Identifier: MIT
// The editor of the user's excluded folders on the settings window's Index page: one row per
// folder with a remove button, and a folder chooser that adds several at once. The store
// normalises the list and rebuilds the index.
#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vesko {

class IndexStore;

class ExclusionsView : public QWidget {
    Q_OBJECT

public:
    // Asks the user for folders; an empty list when cancelled.
    using Chooser = std::function<QStringList(QWidget* parent)>;

    explicit ExclusionsView(IndexStore& store, QWidget* parent = nullptr);

    // Replaces the folder dialog, for tests.
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // Opens the chooser and adds what was chosen.
    void chooseFolders();
    void addFolders(const QStringList& folders);
    void removeFolder(const QString& folder);

    // The desktop's folder dialog: directories only, several at once.
    static QStringList askForFolders(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showRows();
    void retranslate();

    IndexStore& store_;
    Chooser chooser_ = &ExclusionsView::askForFolders;
    QLabel* title_;
    QVBoxLayout* rows_;
    QWidget* rowsBox_ = nullptr;
    QPushButton* addButton_;
    QLabel* note_;
};

} // namespace vesko
