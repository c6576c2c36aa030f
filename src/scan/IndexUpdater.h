// SPDX-License-Identifier: GPL-3.0-or-later
// Applies one batch of file-system changes to an index without a full scan: every folder the
// batch names is read once and compared with what the index holds for it. Vanished entries
// are flagged deleted, survivors get fresh metadata, new ones are appended; ids never move.
#pragma once

#include "index/FileIndex.h"
#include "index/IndexNavigator.h"
#include "index/NameTable.h"
#include "scan/FileSystemWatcher.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vesko {

// Names are compared by their exact bytes. A Linux file system keeps names as bytes: two
// names that differ only in Unicode normal form are two files that can sit side by side, and
// only the stored bytes open either. Matching them as equal would merge the two into one
// entry, or keep an entry whose path no longer opens after a rename that only changed the
// form. Exclusions are matched by exact path too, as the builder matches them, so an update
// never disagrees with a fresh build about which folders are listed.
//
// One updater is used by one thread at a time. The name table and navigator are shared with
// their owner: names are interned under the table's own locks, and the navigator is rebuilt
// in place when `apply` added something, so the owner must not read or release it meanwhile.
class IndexUpdater {
public:
    struct Report {
        std::int64_t added = 0;
        std::int64_t removed = 0;            // every entry of a deleted subtree included
        std::int64_t directoriesScanned = 0; // each distinct folder once per apply
        std::int64_t unresolved = 0;         // paths that name no folder of the index
        bool operator==(const Report&) const = default;
    };

    // `excludedFolders` are the user's own; the fixed and per-root exclusions of the index's
    // roots are added. An unbuilt navigator is built by `apply`.
    IndexUpdater(FileIndex index, SharedNameTable names, SharedIndexNavigator navigator,
                 std::vector<std::string> excludedFolders = {});

    // Never throws for file-system trouble: a folder that vanished, became a file or cannot
    // be read between the event and the read is counted and left as it was. When the
    // navigator cannot be built, nothing changes and every path counts as unresolved. Throws
    // NameTableFull or std::bad_alloc when the index cannot grow; the updater and its index
    // are then dropped (the caller's own copy is untouched). lastEventID is not used here.
    Report apply(const FileSystemWatcher::Batch& batch);

    const FileIndex& index() const { return index_; }
    // Hands the updated index back; the updater must not be applied again afterwards.
    FileIndex takeIndex() { return std::move(index_); }
    const SharedNameTable& names() const { return names_; }
    const SharedIndexNavigator& navigator() const { return navigator_; }

private:
    class Pass;
    friend class Pass;

    FileIndex index_;
    SharedNameTable names_;
    SharedIndexNavigator navigator_;
    std::vector<std::string> excludedFolders_;
    // Entries appended to each folder that the navigator does not list yet; consulted with the
    // navigator's lists so nothing is appended twice. Emptied whenever the navigator is rebuilt.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> appendedEntries_;
};

} // namespace vesko
