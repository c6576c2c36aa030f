// SPDX-License-Identifier: GPL-3.0-or-later
// A search limited to one folder and everything below it. Each folder of the index gets one
// bit, worked out once by walking the parent column, so a keystroke tests an entry's folder
// with one load and never compares a path. Extended, not redone, as live updates append
// folders, the way FolderNoise is.
#pragma once

#include "index/FileIndex.h"
#include "index/NameTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vesko {

class FolderScope {
public:
    // The subtree of the folder at `path`: absolute, the stored bytes of each name (a name
    // need not be UTF-8), empty components and a trailing "/" ignored. Each component is the
    // newest folder of that exact name, as the updater resolves paths. `older`, a scope of the
    // same path worked out on an earlier generation of this index, is extended when the
    // folders appended since leave its path alone. Relies on every parent id being smaller
    // than its child's.
    static std::shared_ptr<const FolderScope> of(const FileIndex& index, const NameTable& names,
                                                 std::string_view path,
                                                 std::shared_ptr<const FolderScope> older = {});

    const std::string& path() const { return path_; }
    // False when the path names no folder of the index: the scope then holds nothing.
    bool isResolved() const { return !chain_.empty(); }
    // The folder's own id; only when resolved.
    std::uint32_t folder() const { return chain_.back(); }
    std::uint32_t count() const { return count_; }
    // The folder itself and every folder below it; false beyond `count`.
    bool contains(std::uint32_t directory) const {
        return directory < count_ && (bits_[directory >> 6] >> (directory & 63) & 1);
    }

private:
    void resolve(const FileIndex& index, const NameTable& names);
    void mark(const FileIndex& index, std::uint32_t from);
    // Whether a folder appended from `from` on takes the place of one on the scope's path
    // (the folder or one above it was deleted and made again), which moves the whole scope.
    bool pathReplaced(const FileIndex& index, const NameTable& names, std::uint32_t from) const;

    std::string path_;
    std::vector<std::string> components_; // below the root
    std::vector<std::uint32_t> chain_;    // the root's id, then one folder per component
    std::vector<std::uint64_t> bits_;
    std::uint32_t count_ = 0;
};

} // namespace vesko
