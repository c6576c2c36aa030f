// SPDX-License-Identifier: MIT
#include "ui/PreviewWindow.h"

namespace vesko {

PreviewWindow::PreviewWindow(IndexStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store) {}

void PreviewWindow::toggle(const std::optional<QString>& path) {
    if (!path) return;
    setVisible(!isVisible());
}

} // namespace vesko
