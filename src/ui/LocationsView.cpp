// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LocationsView.h"
#include "ui/RowList.h"

#include "store/IndexLifecycle.h"
#include "ui/RowButton.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

namespace vesko {
namespace {

QIcon themed(const char* name, QStyle::StandardPixmap fallback, const QStyle* style) {
    return QIcon::fromTheme(QLatin1String(name), style->standardIcon(fallback));
}

QIcon volumeIcon(const VolumeRow& volume, const QStyle* style) {
    if (volume.isNetwork) return themed("network-server", QStyle::SP_DriveNetIcon, style);
    if (volume.isRemovable) return themed("drive-removable-media", QStyle::SP_DriveFDIcon, style);
    return themed("drive-harddisk", QStyle::SP_DriveHDIcon, style);
}

} // namespace

LocationsView::LocationsView(IndexLifecycle& lifecycle, QWidget* parent)
    : QWidget(parent), lifecycle_(lifecycle), rows_(new QVBoxLayout), rescan_(new RowButton(this)) {
    rescan_->setObjectName("rescan");
    rescan_->setIcon(themed("view-refresh", QStyle::SP_BrowserReload, style()));
    rows_->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(rows_);
    layout->addWidget(rescan_);

    connect(rescan_, &QPushButton::clicked, &lifecycle_, &IndexLifecycle::rescan);
    connect(&lifecycle_, &IndexLifecycle::extraRootsChanged, this, &LocationsView::showRows);
    connect(&lifecycle_, &IndexLifecycle::mountedExtraRootsChanged, this, &LocationsView::showRows);
    connect(&lifecycle_, &IndexLifecycle::mountedVolumesChanged, this, &LocationsView::showRows);
    showRows();
}

void LocationsView::setIndexed(const QString& path, bool on) {
    std::vector<std::string> list = lifecycle_.extraRoots();
    std::erase(list, path.toStdString());
    if (on) list.push_back(path.toStdString());
    lifecycle_.setExtraRoots(list);
}

void LocationsView::showRows() {
    QVBoxLayout* rows = RowList::replace(rowsBox_, this, rows_, 2);

    auto* home = new QLabel(rowsBox_);
    home->setObjectName("homeFolder");
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    auto* homeRow = new QHBoxLayout;
    auto* homeIcon = new QLabel(rowsBox_);
    homeIcon->setPixmap(themed("user-home", QStyle::SP_DirHomeIcon, style()).pixmap(size));
    home->setText(tr("Home Folder"));
    home->setAccessibleName(home->text());
    // Lined up with the volumes' names, past where their check boxes sit.
    homeRow->addSpacing(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    homeRow->addWidget(homeIcon);
    homeRow->addWidget(home, 1);
    rows->addLayout(homeRow);

    std::vector<std::string> shown;
    for (const VolumeRow& volume : lifecycle_.volumeRows()) {
        addRow(rows, volumeIcon(volume, style()), QString::fromStdString(volume.name),
               QString::fromStdString(volume.path));
        if (volume.isNetwork) addNote(rows, tr("Network volume - slow to index, no live updates"));
        shown.push_back(volume.path);
    }
    for (const std::string& root : lifecycle_.extraRoots()) {
        if (std::ranges::find(shown, root) != shown.end()) continue;
        const QString path = QString::fromStdString(root);
        const bool mounted = lifecycle_.mountedExtraRoots().contains(root);
        addRow(rows,
               mounted ? themed("folder", QStyle::SP_DirIcon, style())
                       : themed("dialog-question", QStyle::SP_MessageBoxQuestion, style()),
               QFileInfo(path).fileName(), path);
        if (!mounted) addNote(rows, tr("Not mounted"));
    }
    rescan_->setFullText(tr("Rescan"));
}

void LocationsView::addRow(QVBoxLayout* rows, const QIcon& icon, const QString& name,
                           const QString& path) {
    auto* box = new QCheckBox(name.isEmpty() ? path : name, rowsBox_);
    box->setObjectName("location");
    box->setIcon(icon);
    box->setToolTip(path);
    box->setAccessibleName(box->text());
    box->setAccessibleDescription(path);
    box->setChecked(std::ranges::find(lifecycle_.extraRoots(), path.toStdString()) !=
                    lifecycle_.extraRoots().end());
    connect(box, &QCheckBox::toggled, this, [this, path](bool on) { setIndexed(path, on); });
    rows->addWidget(box);
}

void LocationsView::addNote(QVBoxLayout* rows, const QString& text) {
    auto* note = new QLabel(text, rowsBox_);
    note->setWordWrap(true);
    note->setIndent(24);
    note->setForegroundRole(QPalette::PlaceholderText);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    note->setFont(small);
    rows->addWidget(note);
}

void LocationsView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) showRows();
    QWidget::changeEvent(event);
}

} // namespace vesko
