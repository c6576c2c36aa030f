// SPDX-License-Identifier: GPL-3.0-or-later
// A saved search: a named snapshot of the query, the filters and the sort, and the user's
// list of them, kept as one JSON array under "savedSearches". A list that cannot be read
// is shown as empty and left as it is on disk until the user changes the list.
#pragma once

#include "search/Filters.h"
#include "search/ResultSort.h"
#include "store/Settings.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

namespace vesko {

struct SavedSearch {
    QUuid id;
    QString name; // trimmed, never empty
    QString query;
    Filters filters;
    ResultSort sort;
    bool isBuiltIn = false; // not the user's own: never stored, loaded or removed

    bool operator==(const SavedSearch&) const = default;

    // The stored form: a JSON array of objects with exactly the keys "id" (upper-case UUID
    // text), "name", "query", "filters", "sort" and "isBuiltIn", in list order, without
    // built-in entries.
    static QByteArray encode(const std::vector<SavedSearch>& list);
    // Every key of every element is required; anything undecodable gives nothing at all.
    static std::optional<std::vector<SavedSearch>> decode(const QByteArray& json);
};

class SavedSearches {
public:
    // Reads the list from `settings`, which must outlive this object.
    explicit SavedSearches(Settings& settings);

    const std::vector<SavedSearch>& list() const { return list_; }
    // Appends a search under `name` trimmed of white space and stores the list; an empty
    // name does nothing. Names need not be unique.
    std::optional<SavedSearch> add(const QString& name, const QString& query,
                                   const Filters& filters, const ResultSort& sort);
    // Removes every entry with the id of `saved` and stores the list; built-in ones stay.
    void remove(const SavedSearch& saved);

private:
    void store();

    Settings& settings_;
    std::vector<SavedSearch> list_;
};

} // namespace vesko
