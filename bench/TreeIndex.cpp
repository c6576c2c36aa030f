// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeIndex.h"

#include "TreePlan.h"
#include "TreeVocabulary.h"

#include <ctime>
#include <deque>
#include <memory>
#include <unordered_set>

namespace vesko::treegen {
namespace {

// What the writer's timestamps give: a modification time and an access time at most 400
// days later, drawn in the writer's order so that every later draw matches too.
struct Times {
    std::uint32_t modified = 0;
    std::uint32_t accessed = 0;
};

Times drawTimes(Rng& rng, bool setTimes, std::uint32_t now) {
    if (!setTimes) return {now, now};
    constexpr std::int64_t first = 1420070400, last = 1748736000; // 2015-01-01 .. 2025-06-01
    const std::int64_t modified = rng.between(first, last);
    const std::int64_t accessed = std::min<std::int64_t>(modified + rng.below(400 * 86400), last);
    return {static_cast<std::uint32_t>(modified), static_cast<std::uint32_t>(accessed)};
}

// A file's length as the writer decides it, drawing what the writer draws.
std::uint64_t drawLength(const TreeShape& shape, const std::string& name, Rng& rng) {
    const std::uint32_t kind = rng.below(1000);
    const auto contentLimit = static_cast<std::uint32_t>(shape.contentShare * 1000);
    const auto emptyLimit = contentLimit + static_cast<std::uint32_t>(shape.emptyShare * 1000);
    if (kind < contentLimit) return textContent(rng).size();
    if (kind < emptyLimit || !shape.realisticSizes) return 0;
    return fileLength(name, rng);
}

} // namespace

PlannedIndex indexFromPlan(const std::string& root, const TreeShape& shape) {
    return indexFromPlan(root, shape, makePlan(shape));
}

PlannedIndex indexFromPlan(const std::string& root, const TreeShape& shape, const Plan& plan) {
    const auto now = static_cast<std::uint32_t>(std::time(nullptr));
    PlannedIndex out{FileIndex{}, std::make_shared<NameTable>()};
    FileIndex& index = out.index;
    NameTable& names = *out.names;
    index.reserveEntries(static_cast<std::size_t>(shape.entries));
    index.rootPaths[0] = root;
    index.dirName.append(names.intern(root));
    index.dirParent.append(0);
    // Folders in the order a scan lists them, parents before children; each folder's own
    // entry gets its times once the folder's files have drawn theirs.
    struct Pending {
        std::uint32_t folder;
        std::uint32_t dir;
        std::int64_t entry; // -1 for the root
    };
    std::deque<Pending> queue{{0, 0, -1}};
    for (std::size_t listed = 1; !queue.empty(); ++listed) {
        // As the scan's workers do: buffers the name table outgrew are kept for lock-free
        // readers, which a table being built has none of.
        if (listed % 1024 == 0) names.releaseRetired();
        const Pending at = queue.front();
        queue.pop_front();
        const PlannedFolder& folder = plan.folders[at.folder];
        Rng rng(mix(shape.seed, at.folder + 1));
        std::unordered_set<std::string> taken;
        for (const std::uint32_t child : folder.children) {
            const std::string& name = plan.folders[child].name;
            taken.insert(name);
            const std::uint32_t nameId = names.intern(name);
            const auto dir = index.directoryCount();
            index.dirParent.append(at.dir);
            index.dirName.append(nameId);
            queue.push_back({child, dir, index.count()});
            index.appendEntry(nameId, at.dir, EntryFlags::directory(), 0, 0, now, 0);
        }
        for (std::uint32_t i = 0; i < folder.files; ++i) {
            const std::string name = uniqueName(taken, fileName(folder.theme, rng));
            const std::uint64_t length = drawLength(shape, name, rng);
            const Times times = drawTimes(rng, shape.setTimes, now);
            index.appendEntry(names.intern(name), at.dir, EntryFlags::none(),
                              PackedSize::pack(length), times.modified, now, times.accessed);
        }
        const Times own = drawTimes(rng, shape.setTimes, now);
        if (at.entry >= 0) {
            index.entryModified.set(static_cast<std::size_t>(at.entry), own.modified);
            index.entryAccessed.set(static_cast<std::size_t>(at.entry), own.accessed);
        }
    }
    names.releaseRetired();
    return out;
}

} // namespace vesko::treegen
