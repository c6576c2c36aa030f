// SPDX-License-Identifier: MIT
// Names shown on a terminal: a name may hold bytes that a terminal obeys instead of showing
// (ESC sequences that set the title or move the cursor, CR, newline). Such a path is shown
// the way `ls` and bash quote it, as $'...' with escapes, which a user can paste back into
// a shell to reach the same file. Other paths are shown as they are.
#pragma once

#include <string>
#include <string_view>

namespace vesko::TerminalText {

// Whether the path holds a C0 or C1 control character, DEL or bytes that are not UTF-8.
bool needsQuoting(std::string_view path);

// The path itself when it needs no quoting; otherwise $'...' with \e, \n, \r, \t, \\, \'
// and \xHH for every other control or invalid byte.
std::string quoted(std::string_view path);

} // namespace vesko::TerminalText
