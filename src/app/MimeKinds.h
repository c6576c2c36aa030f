// SPDX-License-Identifier: GPL-3.0-or-later
// The kind of a file as the desktop names it, by extension: the comment of the MIME type
// registered for it ("PDF document"). Sorting by kind calls this once per distinct
// extension; the shared MIME database is read on the first call, not before.
#pragma once

#include "search/TopSelector.h"

#include <string>
#include <string_view>

namespace vesko::MimeKinds {

// The description of the type registered for the lowercase extension, or the empty text
// when none is (the database answers application/octet-stream for unknown extensions).
std::string describe(std::string_view extension);

// `describe` in the form a search takes.
TopSelector::KindLookup lookup();

} // namespace vesko::MimeKinds
