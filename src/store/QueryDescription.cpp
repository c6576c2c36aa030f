// SPDX-License-Identifier: MIT
#include "store/QueryDescription.h"

#include "search/Search.h"

namespace vesko {

Search::Request QueryDescription::request(const QueryPreferences& preferences) const {
    Search::Request request;
    request.query = Search::normalize(text, filters.matchDiacritics);
    request.filters = filters;
    request.sort = sort;
    request.limit = limit;
    request.foldersFirst = foldersFirst;
    request.folderKind = folderKind;
    request.kindOf = kindOf;
    request.initialConsonants = preferences.initialConsonants;
    return request;
}

} // namespace vesko
