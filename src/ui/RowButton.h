// SPDX-License-Identifier: GPL-3.0-or-later
// A sidebar row that acts when clicked: flat, left-aligned, lit under the pointer, and cut
// short with "…" when the sidebar is narrower than its text.
#pragma once

#include <QPushButton>

namespace vesko {

class RowButton : public QPushButton {
    Q_OBJECT

public:
    explicit RowButton(QWidget* parent = nullptr);

    // The full text; the button shows as much of it as fits. Also the accessible name.
    void setFullText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showText();

    QString fullText_;
};

} // namespace vesko
