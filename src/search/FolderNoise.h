// SPDX-License-Identifier: GPL-3.0-or-later
// The folders whose contents are rarely what a person searches for: hidden ones (settings,
// caches, browser profiles, version control) and the dependency, build and cache folders
// tools fill by the thousand. Relevance ranks what lies inside them after the user's own
// files of the same match rank. One bit per directory, worked out once for an index's
// generation and extended as directories are appended; beside it each directory's depth,
// which relevance weighs next and which every search would otherwise work out again.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vesko {

class FolderNoise {
public:
    // Whether a folder of this folded name holds noise: a name beginning with "." (.cache,
    // .local, .mozilla, .git, .var, .steam ...), node_modules, bower_components, vendor,
    // __pycache__, site-packages, dist-packages, venv, target, build, cmake-build-*,
    // cmakefiles, steamapps, snap. A root is never noise: the user chose to index it.
    static bool isNoiseName(std::string_view folded);

    // The bits of every directory of `index`. Directories `older` covers keep its bits, so a
    // search after a live update works out only the new ones; `older` must come from the same
    // generation of the index (ids that still mean the same folders). Relies on every parent
    // id being smaller than its child's, as the scanner and the updater number them.
    static std::shared_ptr<const FolderNoise> of(const FileIndex& index, const NameTable& names,
                                                 std::shared_ptr<const FolderNoise> older = {});

    // Depth is counted up to this many parent steps; deeper directories all rank alike.
    static constexpr int deepest = 129;
    static constexpr std::uint8_t unknownDepth = 0xFF;

    std::uint32_t count() const { return count_; }
    // Parent steps from the directory to its root, at most `deepest`; unknownDepth beyond
    // `count` or below a parent numbered after its child.
    std::uint8_t depth(std::uint32_t directory) const {
        return directory < count_ ? depths_[directory] : unknownDepth;
    }
    // False for a directory beyond `count`.
    bool isNoise(std::uint32_t directory) const {
        return directory < count_ && (bits_[directory >> 6] >> (directory & 63) & 1);
    }

private:
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint8_t> depths_;
    std::uint32_t count_ = 0;
};

} // namespace vesko
