// SPDX-License-Identifier: GPL-3.0-or-later
// A folder outside the indexed roots, read once into an index of its own for the searches
// limited to it. Never saved and never watched: it answers as the folder was when read.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <memory>
#include <optional>
#include <string>

namespace vesko {

struct WalkedFolder {
    std::string path;
    std::optional<FileIndex> index;
    std::shared_ptr<NameTable> names;
};

} // namespace vesko
