// SPDX-License-Identifier: GPL-3.0-or-later
// Interns arbitrary bytes: every piece of the input between zero bytes, and the whole input
// (zero bytes included) as one more name. Checks the id, display and folded-form contracts of
// the name table, then restores the table from its own columns as a load would and checks
// that every name keeps its id.
#include "FuzzCheck.h"

#include "index/NameTable.h"
#include "index/Unicode.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

using vesko::NameTable;
using vesko::fuzz::require;
using vesko::fuzz::requireNone;

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return out;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

void checkName(NameTable& names, std::string_view name, std::uint32_t id) {
    const std::int64_t collisions = names.hashCollisions();
    require(names.intern(name) == id || names.hashCollisions() != collisions,
            "interning the same bytes twice gives the same id");
    require(names.displayBytes(id) == name, "display bytes round-trip exactly");
    const std::string lower = vesko::Unicode::folded(name);
    require(names.foldedBytes(id) == lower, "stored folded bytes are the folded form");
    require(vesko::Unicode::isValidUtf8(lower), "the folded form is valid UTF-8");
    require(vesko::Unicode::folded(lower) == lower, "the folded form is idempotent");
    require(names.folded(id) == lower, "folded() of valid UTF-8 is the stored form");
    require(names.display(id) == vesko::Unicode::repairUtf8(name),
            "display() is the repaired display bytes");
    const vesko::MatchRank rank = names.matchRank(id, lower);
    require(rank.length == lower.size(), "matchRank reports the folded length");
    require(lower.empty() ? rank.rank == 3 : rank.rank == 0, "a name begins with itself");
    require(names.compareFolded(id, id) == 0, "a name compares equal to itself");
    if (vesko::Unicode::isAscii(name)) {
        const std::uint32_t upper = names.intern(asciiUpper(name));
        require(names.foldedBytes(upper) == lower, "ASCII case variants share a folded form");
    }
}

void checkOrder(const NameTable& names, std::uint32_t a, std::uint32_t b) {
    const int ab = names.compareFolded(a, b);
    require(ab == -names.compareFolded(b, a), "compareFolded is antisymmetric");
    const std::string_view x = names.foldedBytes(a), y = names.foldedBytes(b);
    // string_view compares as unsigned bytes through char_traits<char>.
    require(ab == sign(x.compare(y)), "compareFolded orders unsigned bytes, prefix first");
}

template <class T> vesko::Column<T> copyOf(const vesko::Column<T>& column) {
    return vesko::Column<T>(std::span<const T>(column.extraBase(), column.extraCount()));
}

// The table's own columns served back as a restored table, the way a load serves them
// from the mapping; the lookup index is rebuilt before interning as the store does.
void checkRestored(NameTable& names, const std::vector<std::string_view>& interned,
                   const std::vector<std::uint32_t>& ids) {
    std::vector<NameTable::RestoredShard> shards;
    for (std::size_t s = 0; s < names.shardsCount(); ++s) {
        const NameTable::Shard& shard = names.shard(s);
        shards.push_back({copyOf(shard.bytes()), copyOf(shard.starts()), copyOf(shard.display()),
                          copyOf(shard.displayStarts())});
        requireNone(NameTable::checkRestored(shards.back()), "a live shard checks out");
    }
    NameTable restored(shards);
    requireNone(restored.checkInvariants(), "a restored table keeps its invariants");
    restored.rebuildIndexIfNeeded();
    const bool collided = names.hashCollisions() != 0;
    for (std::size_t i = 0; i < interned.size(); ++i) {
        require(restored.displayBytes(ids[i]) == interned[i], "restored display bytes");
        const std::uint32_t again = restored.intern(interned[i]);
        require(collided || again == ids[i], "a restored name keeps its id");
    }
    require(collided || restored.uniqueCount() == names.uniqueCount(),
            "re-interning restored names adds nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> pieces = vesko::fuzz::splitAtZero(input);
    if (pieces.size() > 1) pieces.push_back(input);

    NameTable names;
    std::vector<std::uint32_t> ids;
    for (std::string_view name : pieces) {
        ids.push_back(names.intern(name));
        checkName(names, name, ids.back());
    }
    for (std::size_t i = 1; i < ids.size(); ++i)
        checkOrder(names, ids[i - 1], ids[i]);
    requireNone(names.checkInvariants(), "the table keeps its invariants");
    checkRestored(names, pieces, ids);
    return 0;
}
