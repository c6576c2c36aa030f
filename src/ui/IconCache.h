// SPDX-License-Identifier: MIT
// The small icons of the result rows, loaded off the main thread and shared: one per
// extension (and one for folders), looked up by the desktop's MIME database and icon theme.
#pragma once

#include "store/SearchRow.h"

#include <QIcon>
#include <QObject>

namespace vesko {

class IconCache : public QObject {
    Q_OBJECT

public:
    explicit IconCache(QObject* parent = nullptr);

    // The loaded icon of the row, or a null icon while it is not loaded yet.
    QIcon icon(const SearchRow& row) const;
    // Starts loading the row's icon unless it is loaded or on its way.
    void request(const SearchRow& row);
    void clear();

signals:
    // Icons arrived: rows on screen should be painted again.
    void iconsChanged();
};

} // namespace vesko
