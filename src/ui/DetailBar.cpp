// SPDX-License-Identifier: MIT
#include "ui/DetailBar.h"

#include "store/IndexStore.h"
#include "ui/ResultModel.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace vesko {
namespace {

constexpr int copiedMs = 1500;

} // namespace

DetailBar::DetailBar(IndexStore& store, QWidget* parent)
    : QWidget(parent), store_(store), path_(new QLineEdit(this)),
      copy_(new QPushButton(tr("Copy"), this)), warning_(new QLabel(this)),
      fields_(new QLabel(this)), copied_(new QTimer(this)) {
    setObjectName("detailBar");
    path_->setObjectName("detailPath");
    path_->setAccessibleName(tr("Path"));
    path_->setReadOnly(true);
    path_->setFrame(false);
    path_->setAutoFillBackground(false);
    path_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    copy_->setObjectName("copyPathButton");
    copy_->setAccessibleName(tr("Copy Path"));
    fields_->setObjectName("detailFields");
    fields_->setAccessibleName(tr("Details"));
    fields_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fields_->setForegroundRole(QPalette::PlaceholderText);
    fields_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    warning_->setPixmap(QIcon::fromTheme("dialog-warning", QApplication::style()->standardIcon(
                                                               QStyle::SP_MessageBoxWarning))
                            .pixmap(16, 16));
    copied_->setSingleShot(true);
    copied_->setInterval(copiedMs);

    auto* top = new QHBoxLayout;
    top->addWidget(path_, 1);
    top->addWidget(copy_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(warning_);
    bottom->addWidget(fields_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addLayout(bottom);

    connect(copy_, &QPushButton::clicked, this, &DetailBar::copy);
    connect(copied_, &QTimer::timeout, this, [this] { copy_->setText(tr("Copy")); });
    connect(&store_, &IndexStore::detailChanged, this, [this] {
        detailFresh_ = true;
        follow();
    });
    const auto moved = [this] {
        detailFresh_ = false;
        follow();
    };
    connect(&store_, &IndexStore::selectionChanged, this, moved);
    connect(&store_, &IndexStore::rowsChanged, this, moved);
    connect(&store_, &IndexStore::selectedRowsChanged, this, &DetailBar::follow);
    connect(&store_.preferences(), &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("pathBarStyle")) follow();
    });
    follow();
}

QString DetailBar::path() const {
    return path_->text();
}

QString DetailBar::fields() const {
    return fields_->text();
}

QString DetailBar::fieldsText(const FileDetail& detail, bool isDirectory) {
    if (!detail.exists) return tr("Item no longer exists");
    QStringList parts;
    if (detail.kind)
        parts << *detail.kind;
    else if (isDirectory)
        parts << tr("Folder");
    if (detail.opensWith) parts << tr("Opens with %1").arg(*detail.opensWith);
    if (detail.sizeText) parts << *detail.sizeText;
    if (detail.modifiedText) parts << *detail.modifiedText;
    return parts.join(QStringLiteral(" · "));
}

QString DetailBar::marksText(const std::vector<SearchRow>& rows) {
    qint64 bytes = 0;
    for (const SearchRow& row : rows)
        if (!row.isDirectory) bytes += static_cast<qint64>(PackedSize::unpack(row.size));
    const QLocale locale;
    return tr("%1 items · %2")
        .arg(locale.toString(static_cast<qint64>(rows.size())),
             locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat));
}

void DetailBar::follow() {
    const auto row = store_.selectedRow();
    copy_->setEnabled(row.has_value());
    if (!row) {
        path_->clear();
        fields_->clear();
        warning_->hide();
        return;
    }
    path_->setText(Preferences::pathText(store_.preferences().pathBarStyle(),
                                         ResultModel::fullPath(*row), QDir::homePath()));
    path_->setCursorPosition(0);
    if (store_.selectedRows().size() > 1) {
        fields_->setText(marksText(store_.actionRows()));
        warning_->hide();
        return;
    }
    // Until the detail of this row arrives the line stays empty rather than show the last one.
    const auto& detail = store_.detail();
    const bool shown = detailFresh_ && detail;
    fields_->setText(shown ? fieldsText(*detail, row->isDirectory) : QString());
    warning_->setVisible(shown && !detail->exists);
}

void DetailBar::copy() {
    store_.copySelectedPath();
    copy_->setText(tr("Copied"));
    copied_->start();
    emit pathCopied();
}

} // namespace vesko
