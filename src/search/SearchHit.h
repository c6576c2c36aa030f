// SPDX-License-Identifier: GPL-3.0-or-later
// One result of a search: the entry it names and whether that entry is a folder, carried
// along so ordering and display need not read the flag column again.
#pragma once

#include <cstdint>

namespace vesko::Search {

struct Hit {
    std::int64_t entry = 0;
    bool isDirectory = false;

    bool operator==(const Hit&) const = default;
};

} // namespace vesko::Search
