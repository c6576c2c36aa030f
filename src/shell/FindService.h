// SPDX-License-Identifier: MIT
// `vesko --find` answered by the running window from its live index, so a file made
// seconds ago is found without waiting for the next save of the archive.
//
// Over the single-instance socket the client sends "find JSON" (a FindQuery). The answer is
// FindQuery::answerText's lines, searched by the store's QueryService. The instance declines with
// "error busy" while its index is building, "error roots" when it indexes other folders, and
// "error unsupported" for a sort by kind, whose names depend on the window's language. The
// client then reads the archive as it would without a running Vesko.
#pragma once

#include "store/FindQuery.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesko {

class IndexStore;
class SingleInstance;

class FindService : public QObject {
    Q_OBJECT

public:
    struct Answer {
        std::vector<std::string> paths;
        std::int64_t found = 0;
    };

    // Asks the instance listening at `socket`. Nothing when there is none, it declines, or
    // it has not started answering within `patience` or stalls as long in the middle:
    // nothing is printed before the whole answer is in, so a fallback changes no output.
    static std::optional<Answer> ask(const std::string& socket, const FindQuery& query,
                                     std::chrono::milliseconds patience);

    explicit FindService(IndexStore& store, QObject* parent = nullptr);

    void attach(SingleInstance& instance);

private:
    void answer(const QByteArray& argument, const std::function<void(const QByteArray&)>& reply);

    IndexStore& store_;
};

} // namespace vesko
