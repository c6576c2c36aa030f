// SPDX-License-Identifier: MIT
// `vesko --find` answered by the running window from its live index, so a file made
// seconds ago is found without waiting for the next save of the archive.
//
// Over the single-instance socket the client sends "find JSON" (a FindQuery). The answer is
// a data line "path ESCAPED" per path to print (a backslash doubled, a line feed as "\n"),
// then "found N", the number --count prints, then "ok". The instance declines with
// "error busy" while its index is building, "error roots" when it indexes other folders, and
// "error unsupported" for a sort by kind, whose names depend on the window's language. The
// client then reads the archive as it would without a running Vesko.
#pragma once

#include "shell/FindQuery.h"

#include <QByteArray>
#include <QObject>
#include <QThreadPool>

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

    // The answer text for a search of `index`; public for the protocol's tests.
    static QByteArray answerText(const FindQuery& query, const FileIndex& index,
                                 const NameTable& names);

    explicit FindService(IndexStore& store, QObject* parent = nullptr);
    ~FindService() override;

    void attach(SingleInstance& instance);

private:
    void answer(const QByteArray& argument, const std::function<void(const QByteArray&)>& reply);

    IndexStore& store_;
    QThreadPool pool_;
};

} // namespace vesko
