// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HotKeyRecorder.h"

#include "store/Preferences.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace vesko {

// The field itself: draws the shortcut or the recording prompt and, while recording,
// takes every key before menus and shortcuts can.
class ShortcutField : public QWidget {
public:
    explicit ShortcutField(QWidget* parent) : QWidget(parent) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_InputMethodEnabled, false);
        setCursor(Qt::PointingHandCursor);
    }

    std::function<void(const QKeyEvent&)> onKey;
    std::function<void()> onChange;

    bool recording() const { return recording_; }
    void setText(const QString& text) {
        text_ = text;
        setAccessibleDescription(text);
        update();
    }
    void setRecording(bool recording) {
        if (recording == recording_) return;
        recording_ = recording;
        if (recording) {
            grabKeyboard();
        } else {
            releaseKeyboard();
        }
        if (onChange) onChange();
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(textFont());
        return {metrics.horizontalAdvance(QStringLiteral("Ctrl+Shift+Alt+Super+F12")) + 24,
                metrics.height() + 14};
    }

protected:
    bool event(QEvent* event) override {
        // Accepting the override makes Qt deliver the press here instead of firing a shortcut.
        if (recording_ && event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        return QWidget::event(event);
    }
    void mousePressEvent(QMouseEvent*) override {
        setFocus(Qt::MouseFocusReason);
        setRecording(true);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (recording_) {
            if (onKey) onKey(*event);
            return;
        }
        // The keyboard way in, for those who do not click.
        if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
            setRecording(true);
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        setRecording(false);
        QWidget::focusOutEvent(event);
    }
    void paintEvent(QPaintEvent*) override;

private:
    QFont textFont() const {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(this->font().pointSizeF());
        return font;
    }

    QString text_;
    bool recording_ = false;
};

void ShortcutField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    QColor fill = palette().color(QPalette::Base);
    QPen pen(palette().color(QPalette::Mid), 1);
    if (recording_) {
        fill = accent;
        fill.setAlphaF(0.12);
        pen = QPen(accent, 2);
    }
    painter.setPen(pen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
    painter.setFont(textFont());
    painter.setPen(recording_ ? accent : palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, text_);
}

namespace {

bool isModifierOnly(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_unknown:
    case 0:
        return true;
    default:
        return false;
    }
}

} // namespace

HotKeyRecorder::HotKeyRecorder(Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences), field_(new ShortcutField(this)),
      defaultButton_(new QPushButton(this)), complaint_(new QLabel(this)),
      problem_(new QLabel(this)) {
    field_->setObjectName("hotKeyField");
    field_->onKey = [this](const QKeyEvent& event) { capture(event); };
    field_->onChange = [this] { refresh(); };
    defaultButton_->setObjectName("hotKeyDefault");
    for (QLabel* label : {complaint_, problem_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    complaint_->setObjectName("hotKeyComplaint");
    problem_->setObjectName("hotKeyProblem");

    auto* row = new QHBoxLayout;
    row->addWidget(field_, 1);
    row->addWidget(defaultButton_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addWidget(complaint_);
    column->addWidget(problem_);

    connect(defaultButton_, &QPushButton::clicked, this, [this] {
        field_->setRecording(false);
        setComplaint({});
        preferences_.setHotKey(HotKeySetting{});
    });
    connect(&preferences_, &Preferences::hotKeyChanged, this, &HotKeyRecorder::refresh);
    setComplaint({});
    retranslate();
}

void HotKeyRecorder::retranslate() {
    field_->setAccessibleName(tr("Shortcut"));
    defaultButton_->setText(tr("Default"));
    defaultButton_->setAccessibleName(tr("Default"));
    refresh();
}

void HotKeyRecorder::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

HotKeyRecorder::~HotKeyRecorder() = default;

bool HotKeyRecorder::isRecording() const {
    return field_->recording();
}

int HotKeyRecorder::modifierMask(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers & Qt::ControlModifier) mask |= 0x1000;
    if (modifiers & Qt::AltModifier) mask |= 0x800;
    if (modifiers & Qt::ShiftModifier) mask |= 0x200;
    if (modifiers & Qt::MetaModifier) mask |= 0x100;
    return mask;
}

void HotKeyRecorder::capture(const QKeyEvent& event) {
    int key = event.key();
    if (key == Qt::Key_Escape) {
        field_->setRecording(false);
        return;
    }
    if (isModifierOnly(key)) return;
    const int mask = modifierMask(event.modifiers());
    if (mask == 0) {
        setComplaint(tr("Hold Ctrl, Alt, Shift or Super as well."));
        return;
    }
    // Shift turns Tab into Backtab; the shortcut keeps the key and the Shift apart.
    if (key == Qt::Key_Backtab) key = Qt::Key_Tab;
    setComplaint({});
    field_->setRecording(false);
    field_->clearFocus();
    preferences_.setHotKey(HotKeySetting{key, mask});
}

void HotKeyRecorder::setComplaint(const QString& complaint) {
    complaint_->setText(complaint);
    complaint_->setAccessibleName(complaint);
    complaint_->setVisible(!complaint.isEmpty());
}

void HotKeyRecorder::refresh() {
    field_->setText(field_->recording() ? tr("Press keys…") : preferences_.hotKey().description());
    problem_->setText(problemText_);
    problem_->setAccessibleName(problemText_);
    problem_->setVisible(!problemText_.isEmpty());
}

void HotKeyRecorder::setProblem(const QString& problem) {
    problemText_ = problem;
    refresh();
}

} // namespace vesko
