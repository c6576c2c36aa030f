// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/QueryDescription.h"

#include "search/Search.h"

namespace vesko {

QueryPreferences QueryPreferences::beside(const std::string& settingsFile, bool initialConsonants) {
    return {initialConsonants, Filters::localeFirstWeekday(),
            UsedFiles::current(UseCounts::fileBeside(settingsFile))};
}

Search::Request QueryDescription::request(const QueryPreferences& preferences) const {
    Search::Request request;
    request.query = Search::normalize(text, filters.matchDiacritics);
    request.filters = filters;
    request.within = within;
    request.sort = sort;
    request.limit = limit;
    request.foldersFirst = foldersFirst;
    request.folderKind = folderKind;
    request.kindOf = kindOf;
    request.initialConsonants = preferences.initialConsonants;
    request.usedFiles = preferences.usedFiles;
    request.firstWeekday = preferences.firstWeekday;
    return request;
}

} // namespace vesko
