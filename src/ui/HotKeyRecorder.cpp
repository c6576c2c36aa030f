// SPDX-License-Identifier: MIT
#include "ui/HotKeyRecorder.h"

namespace vesko {

HotKeyRecorder::HotKeyRecorder(IndexStore& store, QWidget* parent)
    : QWidget(parent), store_(store) {}

} // namespace vesko
