// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RowButton.h"

namespace vesko {

RowButton::RowButton(QWidget* parent) : QPushButton(parent) {
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setStyleSheet("QPushButton { text-align: left; padding: 3px 6px; border: none;"
                  " border-radius: 4px; }"
                  "QPushButton:hover, QPushButton:focus { background: palette(midlight); }"
                  "QPushButton:pressed { background: palette(mid); }");
}

void RowButton::setFullText(const QString& text) {
    fullText_ = text;
    setAccessibleName(text);
    setToolTip(text);
    showText();
}

void RowButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    showText();
}

void RowButton::showText() {
    const int room = width() - iconSize().width() - 20;
    QString shown = fontMetrics().elidedText(fullText_, Qt::ElideRight, std::max(room, 0));
    setText(shown.replace('&', QStringLiteral("&&")));
}

} // namespace vesko
