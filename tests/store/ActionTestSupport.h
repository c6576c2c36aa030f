// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers of the file-action, preference and settings tests: Qt texts printed as
// text, a preferences file read as a later start would, and the shared file and environment
// helpers.
#pragma once

#include "store/ActionProblem.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QString>

#include <filesystem>
#include <ostream>
#include <string>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vesko {
inline void PrintTo(const ActionProblem& problem, std::ostream* out) {
    *out << "problem " << static_cast<int>(problem.kind) << " '" << problem.name.toStdString()
         << "' error " << problem.error;
}
} // namespace vesko

namespace vesko::test {

// QSettings caches a file's values, typed, for the whole process; a copy under a new name is
// parsed as a later start would read it.
inline std::string reopened(const TempTree& tree, const std::string& path) {
    static int copies = 0;
    const std::string copy = tree.path("reopened" + std::to_string(++copies) + ".conf");
    std::filesystem::copy_file(path, copy);
    return copy;
}

} // namespace vesko::test
