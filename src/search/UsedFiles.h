// SPDX-License-Identifier: GPL-3.0-or-later
// The use counts as relevance reads them: each used file's tier (the most used and most
// recent first) and a quick test of whether a name can belong to one, so the hits of a large
// search pay one bit test and only the few candidates compare their paths.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"
#include "search/UseCounts.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vesko {

class UsedFiles {
public:
    // Tiers, smaller first: used often and lately, used lately or often, used at all.
    static constexpr int unusedTier = 3;

    UsedFiles(const UseCounts& counts, std::int64_t now);

    // The snapshot of `file` at the present time, or null when it holds no use. Read again
    // only when the file was replaced or an hour has passed (tiers age), so a search pays one
    // stat(2) for it. Safe from any thread.
    static std::shared_ptr<const UsedFiles> current(const std::string& file);

    // A use's tier: uses weigh 4 on their last day, 2 that week, 1 that month, less after.
    static int tierOf(std::uint32_t count, std::int64_t last, std::int64_t now);

    bool empty() const { return byName_.empty(); }
    // False when no used file has this folded name; true may be a name only folded alike.
    bool mayName(std::string_view folded) const {
        if (folded.empty() || !(lengths_ >> (folded.size() & 63) & 1)) return false;
        const auto first = static_cast<unsigned char>(folded[0]);
        return (firstBytes_[first >> 6] >> (first & 63) & 1) && foldedNames_.contains(folded);
    }
    // The entry's tier, `unusedTier` for a file never used.
    int tier(std::int64_t entry, const FileIndex& index, const NameTable& names) const;

private:
    struct Candidate {
        std::string folder; // the path without its last component and slash
        int tier = unusedTier;
    };
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    using Texts = std::unordered_set<std::string, TextHash, std::equal_to<>>;

    std::unordered_map<std::string, std::vector<Candidate>, TextHash, std::equal_to<>>
        byName_; // by last component, as stored
    Texts foldedNames_;
    std::uint64_t lengths_ = 0; // bit (length % 64) of each folded name
    std::array<std::uint64_t, 4> firstBytes_{};
};

} // namespace vesko
