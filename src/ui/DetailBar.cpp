// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DetailBar.h"

#include "store/FileActionCenter.h"
#include "store/Preferences.h"
#include "store/SearchSession.h"
#include "ui/DisplayText.h"
#include "ui/ElidedText.h"
#include "ui/ResultModel.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
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
// The space QLineEdit keeps on either side of its text.
constexpr int lineEditMargin = 2;

} // namespace

DetailBar::DetailBar(SearchSession& session, FileActionCenter& fileActions,
                     Preferences& preferences, QWidget* parent)
    : QWidget(parent), session_(session), fileActions_(fileActions), preferences_(preferences),
      path_(new QLineEdit(this)), copy_(new QPushButton(this)), warning_(new QLabel(this)),
      fields_(new QLabel(this)), copied_(new QTimer(this)) {
    setObjectName("detailBar");
    path_->setObjectName("detailPath");
    path_->setReadOnly(true);
    path_->installEventFilter(this);
    path_->setFrame(false);
    path_->setAutoFillBackground(false);
    path_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    copy_->setObjectName("copyPathButton");
    // Without a name of its own, the label's text is what a screen reader reads.
    fields_->setObjectName("detailFields");
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
    connect(copied_, &QTimer::timeout, this, &DetailBar::retranslate);
    connect(&fileActions_, &FileActionCenter::detailChanged, this, [this] {
        detailFresh_ = true;
        follow();
    });
    const auto moved = [this] {
        detailFresh_ = false;
        follow();
    };
    connect(&session_, &SearchSession::selectionChanged, this, moved);
    connect(&session_, &SearchSession::rowsChanged, this, moved);
    connect(&session_, &SearchSession::selectedRowsChanged, this, &DetailBar::follow);
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String("pathBarStyle")) follow();
    });
    retranslate();
    follow();
}

void DetailBar::retranslate() {
    setAccessibleName(tr("Details"));
    path_->setAccessibleName(tr("Path"));
    copy_->setText(copied_->isActive() ? tr("Copied") : tr("Copy"));
    copy_->setAccessibleName(tr("Copy Path"));
}

void DetailBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        // The kind and the date were worded in the language of their reading.
        if (session_.selectedRow() && session_.selectedRows().size() <= 1) {
            detailFresh_ = false;
            fileActions_.loadDetail();
        }
        follow();
    }
    QWidget::changeEvent(event);
}

void DetailBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showPath();
}

bool DetailBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == path_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        showPath();
    return QWidget::eventFilter(watched, event);
}

// Cut to the field's width with the name kept whole; whole again while the field has the
// focus, so a selection copies the real text, scrolled to the name.
void DetailBar::showPath() {
    if (path_->hasFocus()) {
        if (path_->text() != pathText_) {
            path_->setText(pathText_);
            path_->end(false);
        }
        return;
    }
    const QMargins margins = path_->textMargins();
    const int width =
        path_->contentsRect().width() - margins.left() - margins.right() - 2 * lineEditMargin;
    path_->setText(ElidedText::path(pathText_, path_->fontMetrics(), width,
                                    DisplayText::pathSeparator(preferences_.pathBarStyle())));
    path_->setCursorPosition(0);
}

QString DetailBar::path() const {
    return pathText_;
}

QString DetailBar::fields() const {
    return fields_->text();
}

QString DetailBar::fieldsText(const FileDetail& detail, bool isDirectory) {
    if (!detail.exists) return tr("Item no longer exists");
    QStringList parts;
    // The desktop calls a folder "folder", in lower case; the list says "Folder".
    if (isDirectory)
        parts << tr("Folder");
    else if (detail.link)
        parts << DisplayText::linkKind(*detail.link);
    else if (detail.kind)
        parts << detail.kind->left(1).toUpper() + detail.kind->mid(1);
    if (detail.opensWith) parts << tr("Opens with %1").arg(*detail.opensWith);
    if (detail.size) parts << DisplayText::sizeText(*detail.size);
    parts << QLocale().toString(QDateTime::fromSecsSinceEpoch(detail.modified),
                                QLocale::ShortFormat);
    return parts.join(QStringLiteral(" · "));
}

QString DetailBar::marksText(const std::vector<SearchRow>& rows) {
    std::uint64_t bytes = 0;
    for (const SearchRow& row : rows)
        if (!row.isDirectory) bytes += row.bytes();
    return tr("%1 items · %2")
        .arg(QLocale().toString(static_cast<qint64>(rows.size())), DisplayText::sizeText(bytes));
}

void DetailBar::follow() {
    const auto row = session_.selectedRow();
    copy_->setEnabled(row.has_value());
    if (!row) {
        pathText_.clear();
        path_->clear();
        fields_->clear();
        warning_->hide();
        return;
    }
    pathText_ = DisplayText::pathText(preferences_.pathBarStyle(), ResultModel::fullPath(*row),
                                      QDir::homePath());
    showPath();
    if (session_.selectedRows().size() > 1) {
        fields_->setText(marksText(session_.actionRows()));
        warning_->hide();
        return;
    }
    // Until the detail of this row arrives the line stays empty rather than show the last one.
    const auto& detail = fileActions_.detail();
    const bool shown = detailFresh_ && detail;
    fields_->setText(shown ? fieldsText(*detail, row->isDirectory) : QString());
    warning_->setVisible(shown && !detail->exists);
}

void DetailBar::copy() {
    fileActions_.copySelectedPath();
    copy_->setText(tr("Copied"));
    copied_->start();
    emit pathCopied();
}

} // namespace vesko
