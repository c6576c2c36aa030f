// SPDX-License-Identifier: GPL-3.0-or-later
// What went wrong that the user should know and no other place shows: one list, each
// problem a kind, the path or the system's words it concerns, when it was first seen and
// how often since. The window shows the list in one place and words each kind itself.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <vector>

namespace vesko {

struct StoreProblem {
    enum class Kind {
        settingsUnreadable, // detail: the preferences file
        settingsNotSaved,   // detail: the preferences file
        buildFailed,        // detail: the builder's words
        updateFailed,       // detail: the updater's words; the index stays as it was
        archiveDisplaced,   // detail: the path a folder took; the archive is saved beside it
    };
    Kind kind;
    QString detail;
    QDateTime since;
    qint64 count = 1;
};

class StoreProblems : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const std::vector<StoreProblem>& list() const { return list_; }
    // Adds the problem, or counts it once more when one of its kind and detail is listed.
    void report(StoreProblem::Kind kind, const QString& detail = {});
    // The user has read them.
    void clear();

signals:
    void changed();

private:
    std::vector<StoreProblem> list_;
};

} // namespace vesko
