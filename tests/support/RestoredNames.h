// SPDX-License-Identifier: GPL-3.0-or-later
// Name tables restored from columns, as the archive loader makes them: the names are read
// from fixed storage (which the table keeps alive), and the hash index is built only when
// asked.
#pragma once

#include "index/NameTable.h"

#include <functional>
#include <string>
#include <vector>

namespace vesko::test {

// Edits one shard's columns before the table is made from them.
using ShardEdit = std::function<void(std::size_t shard, NameTable::RestoredShard&)>;

SharedNameTable restoredNames(const std::vector<std::string>& names, const ShardEdit& edit = {});
// The names of an existing table, copied shard by shard.
SharedNameTable restoredNames(const NameTable& from, const ShardEdit& edit = {});

} // namespace vesko::test
