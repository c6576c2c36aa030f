// SPDX-License-Identifier: GPL-3.0-or-later
// Names and paths as a person may trust them on screen. A name is bytes: it may hold a
// newline that cuts it at its first line, a right-to-left override that shows
// "rtl\u202Etxt.exe" as "rtlexe.txt", or bytes that are not UTF-8 and would be repaired
// into the name of another file. Shown text makes each of these visible with the escapes
// bash reads inside $'...' (the form `vesko --find` prints on a terminal), so the window,
// the launchers and the terminal spell an odd name alike. It is for display only: every
// action takes the stored bytes.
#pragma once

#include "store/Utf8Step.h"

#include <QString>

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace vesko {

// Where each escape lies in the shown text: start and length in UTF-16 positions.
using EscapeSpans = std::vector<std::pair<int, int>>;

// The stored bytes as text: valid UTF-8 as it is, except that a disguising character is
// shown as an escape (\n, \r, \t, \e, \xHH for the other C0 controls and DEL, \uHHHH for
// the rest) and a byte that is not UTF-8 as \xHH. `escapes`, when given, gets where they
// are, so the list can draw them apart from a name that spells a backslash itself.
QString shownText(std::string_view stored, EscapeSpans* escapes = nullptr);

} // namespace vesko
