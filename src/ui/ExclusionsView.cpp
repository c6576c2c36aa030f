// SPDX-License-Identifier: MIT
#include "ui/ExclusionsView.h"
#include "ui/RowList.h"

#include "store/IndexStore.h"

#include <QAbstractItemView>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

namespace vesko {

ExclusionsView::ExclusionsView(IndexStore& store, QWidget* parent)
    : QWidget(parent), store_(store), title_(new QLabel(this)), rows_(new QVBoxLayout),
      addButton_(new QPushButton(this)), note_(new QLabel(this)) {
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    addButton_->setObjectName("excludeFolder");
    addButton_->setIcon(QIcon::fromTheme("list-add"));
    note_->setWordWrap(true);
    note_->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title_);
    layout->addLayout(rows_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton_);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(note_);

    connect(addButton_, &QPushButton::clicked, this, &ExclusionsView::chooseFolders);
    connect(&store_, &IndexStore::excludedFoldersChanged, this, &ExclusionsView::showRows);
    retranslate();
    showRows();
}

void ExclusionsView::chooseFolders() {
    addFolders(chooser_(window()));
}

void ExclusionsView::addFolders(const QStringList& folders) {
    if (folders.isEmpty()) return;
    std::vector<std::string> list = store_.excludedFolders();
    for (const QString& folder : folders)
        list.push_back(QDir::cleanPath(folder).toStdString());
    store_.setExcludedFolders(list);
}

void ExclusionsView::removeFolder(const QString& folder) {
    std::vector<std::string> list = store_.excludedFolders();
    std::erase(list, folder.toStdString());
    store_.setExcludedFolders(list);
}

QStringList ExclusionsView::askForFolders(QWidget* parent) {
    // The desktop's own folder dialogs pick one folder at a time; Qt's dialog can take
    // several once its views allow a multiple selection.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::homePath());
    dialog.setWindowTitle(tr("Exclude a Folder…"));
    dialog.setLabelText(QFileDialog::Accept, tr("Exclude"));
    for (auto* view : dialog.findChildren<QAbstractItemView*>())
        if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

void ExclusionsView::showRows() {
    QVBoxLayout* rows = RowList::replace(
        rowsBox_, this, rows_,
        style()->layoutSpacing(QSizePolicy::DefaultType, QSizePolicy::DefaultType, Qt::Vertical));
    const QStringList folders = store_.excludedFolderList();
    if (folders.isEmpty()) {
        auto* none = new QLabel(tr("None"), rowsBox_);
        none->setObjectName("noExclusions");
        none->setForegroundRole(QPalette::PlaceholderText);
        rows->addWidget(none);
    }
    for (const QString& folder : folders) {
        auto* row = new QHBoxLayout;
        auto* path = new QLabel(folder, rowsBox_);
        path->setObjectName("excludedFolder");
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        path->setToolTip(folder);
        QToolButton* remove =
            RowList::removeButton(rowsBox_, "removeExclusion", "list-remove", folder);
        connect(remove, &QToolButton::clicked, this, [this, folder] { removeFolder(folder); });
        row->addWidget(remove);
        row->addWidget(path, 1);
        rows->addLayout(row);
    }
    // Deleted files and Vesko's own data: shown so the user knows, but never removable.
    auto* builtInTitle = new QLabel(tr("Always left out:"), rowsBox_);
    builtInTitle->setForegroundRole(QPalette::PlaceholderText);
    rows->addWidget(builtInTitle);
    for (const QString& folder : store_.builtInExclusionList()) {
        auto* path = new QLabel(folder, rowsBox_);
        path->setObjectName("builtInExclusion");
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        path->setForegroundRole(QPalette::PlaceholderText);
        path->setToolTip(folder);
        rows->addWidget(path);
    }
}

void ExclusionsView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        showRows();
    }
    QWidget::changeEvent(event);
}

void ExclusionsView::retranslate() {
    title_->setText(tr("Excluded Folders"));
    addButton_->setText(tr("Exclude a Folder…"));
    addButton_->setAccessibleName(addButton_->text());
    note_->setText(tr("Excluded folders are skipped entirely, including everything inside."));
}

} // namespace vesko
