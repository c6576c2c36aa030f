// SPDX-License-Identifier: GPL-3.0-or-later
// Where the user's home folder is, for the roots and for the cache folder alike.
#pragma once

#include <string>

namespace vesko {

// $HOME when set and not empty, else the password database's entry for this user; trailing
// slashes dropped ("/" stays "/"). Empty when neither knows.
std::string homeFolder();
// The user's cache folder: $XDG_CACHE_HOME when absolute (the base-directory rules ignore a
// relative one), else ~/.cache; a home of "/" gives "/.cache".
std::string cacheHome();

} // namespace vesko
