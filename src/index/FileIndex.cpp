// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/FileIndex.h"

#include "index/NameTable.h"
#include "index/Unicode.h"

namespace vesko {
namespace {

// Joins base and the components gathered from the leaf upward; "/" as base becomes empty
// so a root of "/" does not give a doubled slash.
std::string joinReversed(std::string base, const std::vector<std::string_view>& components) {
    if (base == "/") base.clear();
    std::size_t length = base.size();
    for (auto c : components)
        length += c.size() + 1;
    base.reserve(length);
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        base += '/';
        base.append(it->data(), it->size());
    }
    return base;
}

// The stored bytes of the names from the root down to `name` (none for a folder's own path):
// the path the file system knows, which a repaired spelling may not be.
std::string storedPath(const FileIndex& index, std::string_view name, std::uint32_t directory,
                       const NameTable& names) {
    std::vector<std::string_view> components;
    if (!name.empty()) components.push_back(name);
    std::uint32_t d = directory;
    for (; index.dirParent[d] != d; d = index.dirParent[d])
        components.push_back(names.displayBytes(index.dirName[d]));
    const auto root = index.rootPaths.find(d);
    std::string base = root == index.rootPaths.end() ? "/" : root->second;
    if (components.empty()) return base;
    return joinReversed(std::move(base), components);
}

} // namespace

void FileIndex::reserveEntries(std::size_t count) {
    entryName.reserveCapacity(count);
    entryDir.reserveCapacity(count);
    entryFlags.reserveCapacity(count);
    entrySize.reserveCapacity(count);
    entryModified.reserveCapacity(count);
    entryCreated.reserveCapacity(count);
    entryAccessed.reserveCapacity(count);
}

void FileIndex::appendEntry(std::uint32_t name, std::uint32_t dir, EntryFlags flags,
                            std::uint32_t packedSize, std::uint32_t modified, std::uint32_t created,
                            std::uint32_t accessed) {
    entryName.append(name);
    entryDir.append(dir);
    entryFlags.append(flags.rawValue);
    entrySize.append(packedSize);
    entryModified.append(modified);
    entryCreated.append(created);
    entryAccessed.append(accessed);
}

std::uint32_t FileIndex::rootOf(std::uint32_t d) const {
    while (dirParent[d] != d)
        d = dirParent[d];
    return d;
}

std::string FileIndex::path(std::int64_t entry, const NameTable& names) const {
    const auto e = static_cast<std::size_t>(entry);
    return storedPath(*this, names.displayBytes(entryName[e]), entryDir[e], names);
}

std::string FileIndex::pathOfDirectory(std::uint32_t directory, const NameTable& names) const {
    return storedPath(*this, {}, directory, names);
}

std::string FileIndex::foldedPath(std::int64_t entry, const NameTable& names) const {
    std::vector<std::string_view> components;
    components.push_back(names.foldedBytes(entryName[static_cast<std::size_t>(entry)]));
    std::uint32_t d = entryDir[static_cast<std::size_t>(entry)];
    for (; dirParent[d] != d; d = dirParent[d])
        components.push_back(names.foldedBytes(dirName[d]));
    const auto root = rootPaths.find(d);
    std::string base = Unicode::folded(root == rootPaths.end() ? "/" : root->second);
    return Unicode::repairUtf8(joinReversed(std::move(base), components));
}

std::int64_t FileIndex::payloadBytes() const {
    const std::size_t words = dirParent.count() + dirName.count() + entryName.count() +
                              entryDir.count() + entrySize.count() + entryModified.count() +
                              entryCreated.count() + entryAccessed.count();
    return static_cast<std::int64_t>(4 * words + entryFlags.count());
}

std::vector<std::pair<std::string, std::int64_t>>
FileIndex::memoryBreakdown(const NameTable& names) const {
    auto bytes = [](std::size_t n, std::size_t width) {
        return static_cast<std::int64_t>(n * width);
    };
    return {
        {"항목 · 이름 id (4B)", bytes(entryName.count(), 4)},
        {"항목 · 디렉터리 id (4B)", bytes(entryDir.count(), 4)},
        {"항목 · 크기 (4B)", bytes(entrySize.count(), 4)},
        {"항목 · 수정일 (4B)", bytes(entryModified.count(), 4)},
        {"항목 · 만든날짜 (4B)", bytes(entryCreated.count(), 4)},
        {"항목 · 연날짜 (4B)", bytes(entryAccessed.count(), 4)},
        {"항목 · 플래그 (1B)", bytes(entryFlags.count(), 1)},
        {"디렉터리 표 (8B)", bytes(dirParent.count(), 8)},
        {"이름 바이트 (소문자)", names.nameBytes()},
        {"이름 바이트 (표시용)", names.displayBytes()},
        {"이름 시작 위치", names.startsBytes()},
    };
}

std::string FileIndex::checkInvariants() const {
    if (dirParent.count() != dirName.count()) return "dirParent and dirName differ in length";
    const std::size_t n = entryName.count();
    if (entryDir.count() != n || entryFlags.count() != n || entrySize.count() != n ||
        entryModified.count() != n || entryCreated.count() != n || entryAccessed.count() != n)
        return "entry columns differ in length";
    const std::uint32_t dirs = directoryCount();
    for (std::uint32_t d = 0; d < dirs; ++d) {
        // Parents get their ids before their children, so a chain only ever goes down.
        if (dirParent[d] > d) return "directory " + std::to_string(d) + " has a later parent";
    }
    for (std::size_t i = 0; i < n; ++i)
        if (entryDir[i] >= dirs) return "entry " + std::to_string(i) + " names a missing directory";
    return {};
}

} // namespace vesko
