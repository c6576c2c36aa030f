// SPDX-License-Identifier: MIT
// GoogleTest prints Qt texts as text, not as arrays of code units.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
