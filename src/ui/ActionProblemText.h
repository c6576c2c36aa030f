// SPDX-License-Identifier: GPL-3.0-or-later
// The sentences the window shows for what kept an action on a file from happening.
#pragma once

#include "store/ActionProblem.h"

#include <QCoreApplication>
#include <QString>

namespace vesko {

class ActionProblemText {
    Q_DECLARE_TR_FUNCTIONS(vesko::ActionProblemText)

public:
    static QString sentence(const ActionProblem& problem);
    // One sentence a line; a trash of several items first says how many stayed, then names
    // the first of them with their reasons and counts the rest.
    static QString text(const ActionProblems& problems);
};

} // namespace vesko
