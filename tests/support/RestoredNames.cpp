// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/RestoredNames.h"

#include <optional>
#include <span>

namespace vesko::test {
namespace {

template <class T> std::vector<T> elementsOf(const Column<T>& column) {
    std::vector<T> out(column.count());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = column[i];
    return out;
}

template <class T> Column<T> fixed(const std::vector<T>& storage) {
    return Column<T>(std::span<const T>(storage));
}

// The table and the storage its columns point into, released together.
struct Restored {
    struct Storage {
        std::vector<std::uint8_t> bytes, display;
        std::vector<std::uint32_t> starts, displayStarts;
    };
    std::vector<Storage> storage;
    std::optional<NameTable> table;
};

} // namespace

SharedNameTable restoredNames(const std::vector<std::string>& names, const ShardEdit& edit) {
    NameTable original;
    for (const auto& name : names)
        original.intern(name);
    return restoredNames(original, edit);
}

SharedNameTable restoredNames(const NameTable& from, const ShardEdit& edit) {
    auto restored = std::make_shared<Restored>();
    std::vector<NameTable::RestoredShard> shards;
    for (std::size_t s = 0; s < from.shardsCount(); ++s) {
        const auto& shard = from.shard(s);
        auto& kept = restored->storage.emplace_back();
        kept = {elementsOf(shard.bytes()), elementsOf(shard.display()), elementsOf(shard.starts()),
                elementsOf(shard.displayStarts())};
    }
    for (std::size_t s = 0; s < restored->storage.size(); ++s) {
        const auto& kept = restored->storage[s];
        shards.push_back({fixed(kept.bytes), fixed(kept.starts), fixed(kept.display),
                          fixed(kept.displayStarts)});
        if (edit) edit(s, shards.back());
    }
    restored->table.emplace(shards);
    return SharedNameTable(restored, &*restored->table);
}

} // namespace vesko::test
