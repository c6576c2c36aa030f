// SPDX-License-Identifier: GPL-3.0-or-later
// The editors of the settings window's Index page: the folders left out of the index, and
// the folders indexed besides the home folder. One row per folder with a remove button,
// and a folder chooser that adds several at once. The store normalises each list and
// rebuilds the index.
#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vesko {

class IndexLifecycle;

class ExclusionsView : public QWidget {
    Q_OBJECT

public:
    // Asks the user for folders; an empty list when cancelled.
    using Chooser = std::function<QStringList(QWidget* parent)>;

    enum class List { excluded, added };

    explicit ExclusionsView(IndexLifecycle& lifecycle, QWidget* parent = nullptr)
        : ExclusionsView(lifecycle, List::excluded, parent) {}
    ExclusionsView(IndexLifecycle& lifecycle, List list, QWidget* parent = nullptr);

    // Replaces the folder dialog, for tests.
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // Opens the chooser and adds what was chosen.
    void chooseFolders();
    void addFolders(const QStringList& folders);
    void removeFolder(const QString& folder);

    // The desktop's folder dialog: directories only, several at once.
    static QStringList askForFolders(QWidget* parent, List list);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showRows();
    void retranslate();
    QStringList folders() const;
    void setFolders(const QStringList& folders);

    IndexLifecycle& lifecycle_;
    List list_;
    Chooser chooser_;
    QLabel* title_;
    QVBoxLayout* rows_;
    QWidget* rowsBox_ = nullptr;
    QPushButton* addButton_;
    QLabel* note_;
};

} // namespace vesko
