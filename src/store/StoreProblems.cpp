// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreProblems.h"

#include <algorithm>

namespace vesko {

void StoreProblems::report(StoreProblem::Kind kind, const QString& detail) {
    const auto same = std::ranges::find_if(list_, [&](const StoreProblem& problem) {
        return problem.kind == kind && problem.detail == detail;
    });
    if (same != list_.end())
        ++same->count;
    else
        list_.push_back({kind, detail, QDateTime::currentDateTime()});
    emit changed();
}

void StoreProblems::clear() {
    if (list_.empty()) return;
    list_.clear();
    emit changed();
}

} // namespace vesko
