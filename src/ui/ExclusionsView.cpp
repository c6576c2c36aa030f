// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ExclusionsView.h"
#include "ui/RowList.h"

#include "store/IndexLifecycle.h"

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

ExclusionsView::ExclusionsView(IndexLifecycle& lifecycle, List list, QWidget* parent)
    : QWidget(parent), lifecycle_(lifecycle), list_(list),
      chooser_([list](QWidget* parent) { return askForFolders(parent, list); }),
      title_(new QLabel(this)), rows_(new QVBoxLayout), addButton_(new QPushButton(this)),
      note_(new QLabel(this)) {
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    addButton_->setObjectName(list_ == List::excluded ? "excludeFolder" : "addFolder");
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
    connect(&lifecycle_,
            list_ == List::excluded ? &IndexLifecycle::excludedFoldersChanged
                                    : &IndexLifecycle::extraRootsChanged,
            this, &ExclusionsView::showRows);
    retranslate();
    showRows();
}

void ExclusionsView::chooseFolders() {
    addFolders(chooser_(window()));
}

QStringList ExclusionsView::folders() const {
    return list_ == List::excluded ? lifecycle_.excludedFolderList() : lifecycle_.extraRootList();
}

void ExclusionsView::setFolders(const QStringList& folders) {
    std::vector<std::string> list;
    for (const QString& folder : folders)
        list.push_back(folder.toStdString());
    if (list_ == List::excluded)
        lifecycle_.setExcludedFolders(list);
    else
        lifecycle_.setExtraRoots(list);
}

void ExclusionsView::addFolders(const QStringList& folders) {
    if (folders.isEmpty()) return;
    QStringList list = this->folders();
    for (const QString& folder : folders)
        list << QDir::cleanPath(folder);
    setFolders(list);
}

void ExclusionsView::removeFolder(const QString& folder) {
    QStringList list = folders();
    list.removeAll(folder);
    setFolders(list);
}

QStringList ExclusionsView::askForFolders(QWidget* parent, List list) {
    // The desktop's own folder dialogs pick one folder at a time; Qt's dialog can take
    // several once its views allow a multiple selection.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::homePath());
    const bool excluding = list == List::excluded;
    dialog.setWindowTitle(excluding ? tr("Exclude a Folder…") : tr("Add a Folder…"));
    dialog.setLabelText(QFileDialog::Accept, excluding ? tr("Exclude") : tr("Add"));
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
    const QStringList folders = this->folders();
    if (folders.isEmpty()) {
        auto* none = new QLabel(tr("None"), rowsBox_);
        none->setObjectName(list_ == List::excluded ? "noExclusions" : "noAddedFolders");
        none->setForegroundRole(QPalette::PlaceholderText);
        rows->addWidget(none);
    }
    for (const QString& folder : folders) {
        auto* row = new QHBoxLayout;
        auto* path = new QLabel(folder, rowsBox_);
        path->setObjectName("excludedFolder");
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        path->setToolTip(folder);
        QToolButton* remove = RowList::removeButton(
            rowsBox_, list_ == List::excluded ? "removeExclusion" : "removeAddedFolder",
            "list-remove", folder);
        connect(remove, &QToolButton::clicked, this, [this, folder] { removeFolder(folder); });
        row->addWidget(remove);
        row->addWidget(path, 1);
        rows->addLayout(row);
    }
    if (list_ != List::excluded) return;
    // Deleted files and Vesko's own data: shown so the user knows, but never removable.
    auto* builtInTitle = new QLabel(tr("Always left out:"), rowsBox_);
    builtInTitle->setForegroundRole(QPalette::PlaceholderText);
    rows->addWidget(builtInTitle);
    for (const QString& folder : lifecycle_.builtInExclusionList()) {
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
    const bool excluding = list_ == List::excluded;
    title_->setText(excluding ? tr("Excluded Folders") : tr("Added Folders"));
    addButton_->setText(excluding ? tr("Exclude a Folder…") : tr("Add a Folder…"));
    addButton_->setAccessibleName(addButton_->text());
    note_->setText(excluding
                       ? tr("Excluded folders are skipped entirely, including everything inside.")
                       : tr("Added folders are indexed besides your home folder, with everything "
                            "inside."));
}

} // namespace vesko
