// SPDX-License-Identifier: GPL-3.0-or-later
// What kept an action on a file from happening, as facts (a kind, the names concerned, the
// system's error number); the window words them in the language it shows.
#pragma once

#include <QString>

#include <vector>

namespace vesko {

struct ActionProblem {
    enum class Kind {
        // A typed name the file system would refuse.
        emptyName,
        slashInName,
        nullInName,
        reservedName,
        nameTooLong, // `limit`: the bytes the folder allows
        // The system refused: `error`.
        system,
        // A file not written: `words` are the library's own.
        notWritten,
        noClipboard,
        noApplication, // for `name`
        noFileManager, // to show the folder `name`
        // Taking a trash back: the item `name` from the folder `other`.
        notInTrash,
        placeTaken,
        notPutBack, // `error`
        // Taking a rename back: from `name` to `other`.
        nameTaken,
        notRenamedBack, // `error`
    };
    Kind kind = Kind::system;
    QString name;
    QString other;
    int error = 0;
    qint64 limit = 0;
    QString words;

    bool operator==(const ActionProblem&) const = default;
};

// What the last action left undone: one problem per item that could not be handled. After a
// trash of several items, `trashTried` counts them and each problem's `name` is its item.
struct ActionProblems {
    std::vector<ActionProblem> items;
    qint64 trashTried = 0;

    bool empty() const { return items.empty(); }
    bool operator==(const ActionProblems&) const = default;
};

} // namespace vesko
