// SPDX-License-Identifier: MIT
#include "ui/SidebarView.h"

namespace vesko {

SidebarView::SidebarView(IndexStore& store, QWidget* parent) : QWidget(parent), store_(store) {}

} // namespace vesko
