// SPDX-License-Identifier: MIT
#include "ui/ContentState.h"

#include "store/IndexStore.h"

namespace vesko {

ContentState contentStateOf(const IndexStore& store) {
    if (store.phase() != IndexStore::Phase::ready) return ContentState::building;
    if (store.query().isEmpty()) return ContentState::emptyQuery;
    if (store.isSearchingContents()) return ContentState::reading;
    // With older results on screen the status bar says which query they belong to instead.
    // A regular-expression problem belongs to the query last run, not to the one typed since.
    if (store.needsReturn() && store.rowCount() == 0) return ContentState::pressReturn;
    if (!store.regexProblem().isEmpty()) return ContentState::regexProblem;
    if (store.rowCount() == 0) return ContentState::noResults;
    return ContentState::results;
}

} // namespace vesko
