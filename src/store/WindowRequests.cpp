// SPDX-License-Identifier: MIT
#include "store/IndexStore.h"

namespace vesko {

void IndexStore::setHotKeyProblem(const QString& problem) {
    if (problem == hotKeyProblem_) return;
    hotKeyProblem_ = problem;
    emit hotKeyProblemChanged();
}

void IndexStore::setTrayProblem(const QString& problem) {
    if (problem == trayProblem_) return;
    trayProblem_ = problem;
    emit trayProblemChanged();
}

void IndexStore::setLoginItem(bool on) {
    const auto failure = LoginItem::set(on);
    loginItemProblem_ = failure ? QString::fromStdString(*failure) : QString();
    refreshLoginItem();
}

void IndexStore::refreshLoginItem() {
    loginItem_ = LoginItem::state();
    emit loginItemChanged();
}

} // namespace vesko
