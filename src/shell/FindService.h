// SPDX-License-Identifier: GPL-3.0-or-later
// `vesko --find` answered by the running window from its live index, so a file made
// seconds ago is found without waiting for the next save of the archive.
//
// Over the single-instance socket the client (FindQuery::ask) sends "find JSON". The answer is
// FindQuery::answerText's lines, searched by the store's QueryService. The instance declines with
// "error busy" while its index is building, "error roots" when it indexes other folders, and
// "error unsupported" for a sort by kind, whose names depend on the window's language. The
// client then reads the archive as it would without a running Vesko.
#pragma once

#include "store/QueryService.h"

#include <QByteArray>
#include <QObject>

namespace vesko {

class SingleInstance;

class FindService : public QObject {
    Q_OBJECT

public:
    explicit FindService(QueryService service, QObject* parent = nullptr);

    void attach(SingleInstance& instance);

private:
    QueryService service_;
};

} // namespace vesko
