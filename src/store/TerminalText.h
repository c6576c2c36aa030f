// SPDX-License-Identifier: GPL-3.0-or-later
// Names shown on a terminal or pasted into one: a name may hold bytes that a terminal obeys
// instead of showing (ESC sequences that set the title or move the cursor, CR, newline) or
// characters that reorder the line it is on (a right-to-left override). Such a path is
// shown the way `ls` and bash quote it, as $'...' with escapes, which a user can paste back
// into a shell to reach the same file. Other paths are shown as they are.
#pragma once

#include <string>
#include <string_view>

namespace vesko::TerminalText {

// Whether the path holds a disguising character (see ShownText.h) or bytes that are not
// UTF-8.
bool needsQuoting(std::string_view path);

// The path itself when it needs no quoting; otherwise $'...' with \e, \n, \r, \t, \\, \',
// \xHH for every other control or invalid byte and \uHHHH for the separators and the
// bidirectional formatting characters.
std::string quoted(std::string_view path);

} // namespace vesko::TerminalText
