// SPDX-License-Identifier: MIT
#include "shell/HotKey.h"

namespace vesko {

HotKey::HotKey(const HotKeySetting& setting, QObject* parent)
    : QObject(parent), setting_(setting) {}

HotKey::~HotKey() = default;

bool HotKey::registerKey() {
    problem_ = tr("%1 is already in use by another app.").arg(setting_.description());
    return false;
}

} // namespace vesko
