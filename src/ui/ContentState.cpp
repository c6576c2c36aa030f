// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ContentState.h"

#include "store/IndexLifecycle.h"
#include "store/SearchSession.h"

namespace vesko {

ContentState contentStateOf(const IndexLifecycle& lifecycle, const SearchSession& session) {
    // What a first scan has read so far is searched like a whole index.
    if (lifecycle.phase() != IndexLifecycle::Phase::ready && !lifecycle.scanProgress())
        return ContentState::building;
    if (session.query().isEmpty()) return ContentState::emptyQuery;
    if (session.isSearchingContents()) return ContentState::reading;
    // With older results on screen the status bar says which query they belong to instead.
    // A regular-expression problem belongs to the query last run, not to the one typed since.
    if (session.needsReturn() && session.rowCount() == 0) return ContentState::pressReturn;
    if (!session.regexProblem().isEmpty()) return ContentState::regexProblem;
    if (session.rowCount() == 0) return ContentState::noResults;
    return ContentState::results;
}

} // namespace vesko
