// SPDX-License-Identifier: MIT
#include "ui/IconCache.h"

namespace vesko {

IconCache::IconCache(QObject* parent) : QObject(parent) {}

QIcon IconCache::icon(const SearchRow&) const {
    return {};
}

void IconCache::request(const SearchRow&) {}

void IconCache::clear() {}

} // namespace vesko
