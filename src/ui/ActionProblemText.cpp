// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ActionProblemText.h"

#include <QLocale>

#include <cstring>

namespace vesko {
namespace {

// A failed trash of many rows names this many of them; the rest are counted.
constexpr qsizetype problemsNamed = 12;

QString systemWords(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString ActionProblemText::sentence(const ActionProblem& problem) {
    using Kind = ActionProblem::Kind;
    switch (problem.kind) {
    case Kind::emptyName:
        return tr("A name can't be empty.");
    case Kind::slashInName:
        return tr("A name can't contain “/”.");
    case Kind::nullInName:
        return tr("A name can't contain a null character.");
    case Kind::reservedName:
        return tr("“%1” is reserved and can't be a name.").arg(problem.name);
    case Kind::nameTooLong:
        return tr("The name is too long: this folder allows at most %1 bytes.").arg(problem.limit);
    case Kind::system:
        return systemWords(problem.error);
    case Kind::notWritten:
        return problem.words;
    case Kind::noClipboard:
        return tr("The clipboard is not available.");
    case Kind::noApplication:
        return tr("No application could open “%1”.").arg(problem.name);
    case Kind::noFileManager:
        return tr("No file manager could show “%1”.").arg(problem.name);
    case Kind::notInTrash:
        return tr("“%1” is no longer in the Trash.").arg(problem.name);
    case Kind::placeTaken:
        return tr("“%1” stays in the Trash: “%2” is in its place now.")
            .arg(problem.name, problem.other);
    case Kind::notPutBack:
        return tr("“%1” could not be put back in “%2”: %3")
            .arg(problem.name, problem.other, systemWords(problem.error));
    case Kind::nameTaken:
        return tr("“%1” keeps its name: another item is called “%2” now.")
            .arg(problem.name, problem.other);
    case Kind::notRenamedBack:
        return tr("“%1” could not be renamed back to “%2”: %3")
            .arg(problem.name, problem.other, systemWords(problem.error));
    }
    return {};
}

QString ActionProblemText::text(const ActionProblems& problems) {
    QStringList lines;
    if (problems.trashTried == 0) {
        for (const ActionProblem& problem : problems.items)
            lines << sentence(problem);
        return lines.join(QLatin1Char('\n'));
    }
    const QLocale locale;
    const auto stayed = static_cast<qsizetype>(problems.items.size());
    lines << tr("Not every item could be moved to the Trash (%1 of %2 stayed):")
                 .arg(locale.toString(stayed), locale.toString(problems.trashTried));
    for (qsizetype i = 0; i < std::min(stayed, problemsNamed); ++i) {
        const ActionProblem& problem = problems.items[static_cast<std::size_t>(i)];
        lines << QStringLiteral("%1: %2").arg(problem.name, sentence(problem));
    }
    if (stayed > problemsNamed)
        lines << tr("…and %1 more").arg(locale.toString(stayed - problemsNamed));
    return lines.join(QLatin1Char('\n'));
}

} // namespace vesko
