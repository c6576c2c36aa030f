// SPDX-License-Identifier: MIT
#include "ui/ContentState.h"

#include "store/IndexStore.h"

namespace vesko {

ContentState contentStateOf(const IndexStore& store) {
    if (store.lifecycle().phase() != IndexLifecycle::Phase::ready) return ContentState::building;
    if (store.session().query().isEmpty()) return ContentState::emptyQuery;
    if (store.session().isSearchingContents()) return ContentState::reading;
    // With older results on screen the status bar says which query they belong to instead.
    // A regular-expression problem belongs to the query last run, not to the one typed since.
    if (store.session().needsReturn() && store.session().rowCount() == 0)
        return ContentState::pressReturn;
    if (!store.session().regexProblem().isEmpty()) return ContentState::regexProblem;
    if (store.session().rowCount() == 0) return ContentState::noResults;
    return ContentState::results;
}

} // namespace vesko
