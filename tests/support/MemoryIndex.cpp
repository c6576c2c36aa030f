// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/MemoryIndex.h"

namespace vesko::test {

MemoryIndex::MemoryIndex(const std::string& rootPath, std::initializer_list<std::string> paths) {
    root(rootPath);
    for (const auto& path : paths)
        add(path);
}

std::uint32_t MemoryIndex::root(const std::string& path) {
    const std::uint32_t id = index.directoryCount();
    index.dirParent.append(id);
    index.dirName.append(names.intern(path));
    index.rootPaths[id] = path;
    return id;
}

std::uint32_t MemoryIndex::folder(const std::string& name, std::uint32_t parent, Dates dates,
                                  EntryFlags extra) {
    file(name, parent, 0, dates, EntryFlags::directory() | extra);
    index.dirParent.append(parent);
    index.dirName.append(names.intern(name));
    return index.directoryCount() - 1;
}

std::int64_t MemoryIndex::file(const std::string& name, std::uint32_t dir, std::uint64_t size,
                               Dates dates, EntryFlags flags) {
    index.appendEntry(names.intern(name), dir, flags, PackedSize::pack(size), dates.modified,
                      dates.created, dates.accessed);
    return lastEntry();
}

std::int64_t MemoryIndex::add(const std::string& relative, std::uint64_t size, Dates dates) {
    std::uint32_t dir = 0;
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos;
         start = slash + 1) {
        const std::string prefix = relative.substr(0, slash);
        auto found = folders_.find(prefix);
        if (found == folders_.end())
            found =
                folders_.emplace(prefix, folder(relative.substr(start, slash - start), dir, dates))
                    .first;
        dir = found->second;
    }
    if (start == relative.size()) return lastEntry();
    return file(relative.substr(start), dir, size, dates);
}

} // namespace vesko::test
