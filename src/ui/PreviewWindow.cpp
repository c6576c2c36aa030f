// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PreviewWindow.h"

#include "store/SearchSession.h"
#include "store/ShownText.h"
#include "store/StoreTasks.h"
#include "ui/DisplayText.h"
#include "ui/FallbackIcons.h"
#include "ui/PreviewContent.h"

#include <QEvent>
#include <QFileIconProvider>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace vesko {

// An image scaled down to fit, never up: a small icon stays crisp at its own size.
class PreviewImage : public QWidget {
public:
    explicit PreviewImage(QWidget* parent) : QWidget(parent) {}

    void setImage(QImage image) {
        image_ = std::move(image);
        scaled_ = {};
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (image_.isNull()) return;
        const qreal ratio = devicePixelRatioF();
        const QSize natural = image_.size() / ratio;
        const bool fits = natural.width() <= width() && natural.height() <= height();
        const QSize shown = fits ? natural : natural.scaled(size(), Qt::KeepAspectRatio);
        // Smooth scaling is slow for a large image, so it is done once per window size.
        if (scaled_.size() != shown * ratio) {
            scaled_ = QPixmap::fromImage(
                image_.scaled(shown * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            scaled_.setDevicePixelRatio(ratio);
        }
        QPainter painter(this);
        painter.drawPixmap(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                           scaled_);
    }

private:
    QImage image_;
    QPixmap scaled_;
};

namespace {

QLabel* factLabel(QWidget* parent, const char* objectName, int pointDelta) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    label->setFont(font);
    return label;
}

} // namespace

PreviewWindow::PreviewWindow(SearchSession& session, StoreTasks& tasks, QWidget* parent)
    : QWidget(parent, Qt::Tool), session_(session), tasks_(tasks) {
    setObjectName("previewWindow");
    resize(720, 560);
    pages_ = new QStackedWidget(this);
    imageView_ = new PreviewImage(pages_);
    imageView_->setObjectName("previewImage");
    pages_->addWidget(imageView_);

    auto* textPage = new QWidget(pages_);
    textView_ = new QPlainTextEdit(textPage);
    textView_->setObjectName("previewText");
    textView_->setReadOnly(true);
    textView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    textView_->setFrameShape(QFrame::NoFrame);
    textView_->installEventFilter(this);
    truncatedNote_ = new QLabel(textPage);
    truncatedNote_->setObjectName("previewTruncated");
    truncatedNote_->setContentsMargins(8, 4, 8, 4);
    truncatedNote_->setForegroundRole(QPalette::PlaceholderText);
    auto* textLayout = new QVBoxLayout(textPage);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    textLayout->addWidget(textView_);
    textLayout->addWidget(truncatedNote_);
    pages_->addWidget(textPage);

    factsPage_ = buildFactsPage();
    pages_->addWidget(factsPage_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    setFocusPolicy(Qt::StrongFocus);

    connect(&session_, &SearchSession::selectionChanged, this, &PreviewWindow::followSelection);
    connect(&session_, &SearchSession::rowsChanged, this, &PreviewWindow::followSelection);
    retranslate();
}

void PreviewWindow::retranslate() {
    setAccessibleName(tr("Preview"));
    if (path_.empty()) setWindowTitle(tr("Preview"));
    imageView_->setAccessibleName(tr("Image"));
    textView_->setAccessibleName(tr("Text"));
    truncatedNote_->setText(tr("Only the first 256 KiB is shown."));
    iconLabel_->setAccessibleName(tr("Icon"));
}

void PreviewWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
        // The kind and size of the file shown were worded when it was read.
        if (!path_.empty()) load(path_);
    }
    QWidget::changeEvent(event);
}

QWidget* PreviewWindow::buildFactsPage() {
    auto* page = new QWidget(pages_);
    iconLabel_ = new QLabel(page);
    iconLabel_->setObjectName("previewIcon");
    iconLabel_->setAlignment(Qt::AlignCenter);
    // The facts are read out as they are written: a name of their own would hide them.
    nameLabel_ = factLabel(page, "previewName", 2);
    kindLabel_ = factLabel(page, "previewKind", 0);
    sizeLabel_ = factLabel(page, "previewSize", 0);
    sizeLabel_->setForegroundRole(QPalette::PlaceholderText);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch(1);
    layout->addWidget(iconLabel_);
    layout->addSpacing(12);
    layout->addWidget(nameLabel_);
    layout->addWidget(kindLabel_);
    layout->addWidget(sizeLabel_);
    layout->addStretch(1);
    return page;
}

void PreviewWindow::toggle(const std::optional<std::string>& path) {
    if (!path) return;
    if (isVisible()) {
        hide();
        return;
    }
    load(*path);
    show();
    raise();
    activateWindow();
}

void PreviewWindow::follow(const std::optional<std::string>& path) {
    if (!isVisible() || !path || *path == path_) return;
    load(*path);
}

void PreviewWindow::followSelection() {
    if (!isVisible()) return;
    const auto row = session_.selectedRow();
    if (!row) return;
    follow(row->path());
}

void PreviewWindow::load(const std::string& path) {
    path_ = path;
    const quint64 generation = ++*generation_;
    StoreTasks& tasks = tasks_;
    tasks.run(
        StoreTasks::Priority::userInitiated,
        [&tasks, latest = generation_, alive = std::weak_ptr(alive_), this, path, generation] {
            // Stepping quickly through results queues reads nobody will see.
            if (generation != *latest) return;
            auto content = std::make_shared<const PreviewContent>(PreviewContent::read(path));
            tasks.deliver([alive, latest, this, content, generation] {
                if (!alive.expired() && generation == *latest) present(*content);
            });
        });
}

void PreviewWindow::present(const PreviewContent& content) {
    setWindowTitle(content.name.isEmpty() ? shownText(path_) : content.name);
    switch (content.kind) {
    case PreviewContent::Kind::image:
        imageView_->setImage(content.image);
        textView_->clear();
        pages_->setCurrentWidget(imageView_);
        break;
    case PreviewContent::Kind::text:
        imageView_->setImage({});
        // Shown before it is filled: a hidden view lays out at no size and keeps a stale
        // scroll position, so the first line would be scrolled out of sight.
        pages_->setCurrentWidget(textView_->parentWidget());
        textView_->setPlainText(content.text);
        textView_->document()->setDocumentMargin(10);
        textView_->moveCursor(QTextCursor::Start);
        truncatedNote_->setVisible(content.truncated);
        break;
    default:
        imageView_->setImage({});
        textView_->clear();
        presentFacts(content);
        pages_->setCurrentWidget(factsPage_);
    }
    emit contentShown();
}

void PreviewWindow::presentFacts(const PreviewContent& content) {
    QIcon icon;
    int iconSize = 128;
    QString kind;
    QString size;
    switch (content.kind) {
    case PreviewContent::Kind::missing:
        icon =
            QIcon::fromTheme("dialog-warning", style()->standardIcon(QStyle::SP_MessageBoxWarning));
        iconSize = 64;
        kind = tr("Item no longer exists");
        break;
    case PreviewContent::Kind::folder:
        icon = QIcon::fromTheme("folder", QFileIconProvider().icon(QFileIconProvider::Folder));
        kind = tr("Folder");
        if (content.itemCount == 1) size = tr("1 item");
        if (content.itemCount > 1 || content.itemCount == 0)
            size = tr("%1 items").arg(QLocale().toString(content.itemCount));
        break;
    default: {
        icon = FallbackIcons::typeIcon(content.iconName, content.genericIconName);
        if (!content.image.isNull()) {
            icon = QIcon(QPixmap::fromImage(content.image));
            iconSize = 256;
        }
        // Some MIME comments start in lower case ("unknown"); a line of its own reads as
        // a sentence.
        kind = content.kindText.left(1).toUpper() + content.kindText.mid(1);
        size = DisplayText::sizeText(static_cast<std::uint64_t>(content.size));
    }
    }
    iconLabel_->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(iconSize, iconSize));
    iconLabel_->setVisible(!icon.isNull());
    nameLabel_->setText(content.name);
    kindLabel_->setText(kind);
    sizeLabel_->setText(size);
    sizeLabel_->setVisible(!size.isEmpty());
}

bool PreviewWindow::handleKey(const QKeyEvent& key) {
    if (key.modifiers() & ~Qt::KeypadModifier) return false;
    switch (key.key()) {
    case Qt::Key_Space:
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Up:
        session_.moveSelection(-1);
        return true;
    case Qt::Key_Down:
        session_.moveSelection(1);
        return true;
    default:
        return false;
    }
}

// The text view would take the arrows and Space for itself; here they belong to the list.
bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent&>(*event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(*event)) QWidget::keyPressEvent(event);
}

// Shown again along with its parent window: the selection may have moved meanwhile.
void PreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (path_.empty()) followSelection();
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    ++*generation_;
    path_.clear();
    imageView_->setImage({}); // a decoded photo is many megabytes
    QWidget::hideEvent(event);
}

} // namespace vesko
