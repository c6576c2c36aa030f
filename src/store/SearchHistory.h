// SPDX-License-Identifier: GPL-3.0-or-later
// The queries the user came back to: the most recent distinct queries that found something,
// newest first, kept as one JSON array of texts under "searchHistory". The user may keep
// none ("keepSearchHistory" off), which also forgets what was kept. A list that does not
// read as an array of texts is treated as empty, so a hand-edited file never breaks a start.
// The files the user acted on are history too: their use counts (UseCounts, beside the
// settings file) are kept and forgotten with the queries.
#pragma once

#include "store/Settings.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <optional>
#include <string>

namespace vesko {

class SearchHistory : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 50;

    // Reads the list and the preference from `settings`, which must outlive this object.
    explicit SearchHistory(Settings& settings, QObject* parent = nullptr);

    const QStringList& queries() const { return queries_; }
    bool keepsHistory() const { return keep_; }

    // Puts `query` (trimmed) first, dropping an earlier copy and whatever falls past the
    // capacity. A blank query, or one recorded while history is off, is ignored.
    void record(const QString& query);
    // One more use of the file at `path` (stored bytes), unless history is off.
    void recordUse(const std::string& path);
    // Whether any use is kept (launchers record uses without a query).
    bool remembersUses() const;
    // Forgets the queries and the use counts.
    void clear();
    void setKeepsHistory(bool on);

    static QByteArray encode(const QStringList& queries);
    // Anything but a JSON array of texts gives nothing; duplicates and blanks are dropped
    // and the list is cut to the capacity.
    static std::optional<QStringList> decode(const QByteArray& json);

signals:
    void changed();

private:
    void store();

    Settings& settings_;
    QStringList queries_;
    bool keep_ = true;
};

} // namespace vesko
