// SPDX-License-Identifier: MIT
// Small helpers of the file-action, preference and language tests: Qt texts printed as
// text, and the shared file and environment helpers.
#pragma once

#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
