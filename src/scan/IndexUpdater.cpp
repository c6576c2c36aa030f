// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/IndexUpdater.h"

#include "scan/DirectoryScanner.h"
#include "scan/IndexBuilder.h"

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_set>

namespace vesko {
namespace {

constexpr EntryFlags kindFlags = EntryFlags::directory() | EntryFlags::symlink();

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct ScannedItem {
    std::string name; // the bytes as listed, not necessarily UTF-8
    EntryFlags flags;
    std::uint64_t size;
    std::uint32_t modified, created, accessed;
};

struct NewDirectory {
    std::string path;
    std::uint32_t dirID;
};

// A folder record and whether the index still holds its folder as present.
struct Resolved {
    std::uint32_t id;
    bool live;
};

// The child records of one folder by name; among records of one name the newest, which is the
// only one that can still be live (a name comes back only after its old entry was flagged).
using ChildMap = std::unordered_map<std::string, Resolved, StringHash, std::equal_to<>>;

// "//" collapsed and a trailing "/" dropped; empty for a relative path.
std::string cleanPath(std::string_view path) {
    std::string out;
    if (path.empty() || path.front() != '/') return out;
    out.reserve(path.size());
    for (char c : path)
        if (c != '/' || out.empty() || out.back() != '/') out += c;
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::optional<std::string> parentOf(const std::string& path) {
    if (path == "/") return std::nullopt;
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string childPath(const std::string& parent, std::string_view name) {
    std::string path = parent == "/" ? std::string() : parent;
    path += '/';
    path.append(name);
    return path;
}

bool isDirectoryNoFollow(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A mapped run cannot be written; the in-place columns are made wholly owned first.
template <class T> void ownAll(Column<T>& column) {
    if (column.mappedCount() == 0) return;
    std::vector<T> all(column.count());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = column[i];
    column = Column<T>(all);
}

template <class T> void setIfChanged(Column<T>& column, std::size_t i, T value) {
    // Unchanged values leave a column shared with other copies of the index uncopied.
    if (column[i] != value) column.set(i, value);
}

} // namespace

// The state of one `apply`: the read buffer, the folders seen, the counts.
class IndexUpdater::Pass {
public:
    explicit Pass(IndexUpdater& owner)
        : owner_(owner), index_(owner.index_), names_(*owner.names_), navigator_(*owner.navigator_),
          buffer_(std::make_unique_for_overwrite<std::byte[]>(DirectoryScanner::bufferSize)) {
        std::vector<std::string> roots;
        for (const auto& [id, path] : index_.rootPaths) {
            roots.push_back(path);
            rootIds_.emplace(path, id);
        }
        excluded_ = IndexBuilder::excluded(roots, owner.excludedFolders_);
    }

    Report run(const FileSystemWatcher::Batch& batch) {
        std::set<std::string> folders; // sorted, so a parent comes before its children
        collectChanged(batch.paths, folders);
        collectSubtrees(batch.mustScanSubtrees, folders);
        process(std::vector<std::string>(folders.begin(), folders.end()));
        return report_;
    }

private:
    void collectChanged(const std::vector<std::string>& paths, std::set<std::string>& folders);
    void collectSubtrees(const std::vector<std::string>& paths, std::set<std::string>& folders);
    void process(std::vector<std::string> work);
    std::optional<Resolved> resolve(const std::string& path);
    const ChildMap& children(std::uint32_t dir);
    std::vector<std::uint32_t> candidates(std::uint32_t dir) const;
    bool read(const std::string& path, std::vector<ScannedItem>& items);
    std::vector<NewDirectory> reconcile(std::uint32_t dir, const std::string& path);
    void flagDeleted(std::uint32_t entry, std::uint32_t dir);
    void append(const ScannedItem& item, std::uint32_t dir, const std::string& path,
                std::vector<NewDirectory>& newDirectories);
    void markSubtreeDeleted(std::string_view name, std::uint32_t parent);

    IndexUpdater& owner_;
    FileIndex& index_;
    NameTable& names_;
    IndexNavigator& navigator_;
    std::unique_ptr<std::byte[]> buffer_;
    ExcludedSet excluded_;
    std::unordered_map<std::string, std::uint32_t> rootIds_;
    std::unordered_map<std::string, std::uint32_t> newDirectories_;
    std::unordered_map<std::uint32_t, ChildMap> children_;
    std::unordered_set<std::uint32_t> visited_;
    std::int64_t syscalls_ = 0;
    Report report_;
};

void IndexUpdater::Pass::collectChanged(const std::vector<std::string>& paths,
                                        std::set<std::string>& folders) {
    for (const auto& raw : paths) {
        const std::string path = cleanPath(raw);
        if (path.empty()) {
            ++report_.unresolved;
            continue;
        }
        if (auto parent = parentOf(path)) folders.insert(std::move(*parent));
        if (isDirectoryNoFollow(path)) folders.insert(path);
    }
}

// Every live folder the index knows below each path, found through the navigator.
void IndexUpdater::Pass::collectSubtrees(const std::vector<std::string>& paths,
                                         std::set<std::string>& folders) {
    for (const auto& raw : paths) {
        const std::string top = cleanPath(raw);
        const auto start = top.empty() ? std::nullopt : resolve(top);
        if (!start) {
            ++report_.unresolved;
            continue;
        }
        folders.insert(top);
        if (!start->live) continue;
        std::vector<std::pair<std::uint32_t, std::string>> stack{{start->id, top}};
        while (!stack.empty()) {
            auto [dir, path] = std::move(stack.back());
            stack.pop_back();
            for (const auto& [name, child] : children(dir)) {
                if (!child.live) continue;
                std::string below = childPath(path, name);
                folders.insert(below);
                stack.emplace_back(child.id, std::move(below));
            }
        }
    }
}

void IndexUpdater::Pass::process(std::vector<std::string> work) {
    // The list grows with folders found new, which are compared in the same pass.
    for (std::size_t i = 0; i < work.size(); ++i) {
        const std::string path = work[i];
        if (excluded_.contains(path)) continue;
        const auto dir = resolve(path);
        if (!dir) {
            ++report_.unresolved;
            continue;
        }
        if (!visited_.insert(dir->id).second) continue;
        ++report_.directoriesScanned;
        // A folder the index holds as deleted is not read under its old record: if it is back,
        // its parent's comparison appends it afresh, and its entries must not get two parents.
        if (!dir->live) continue;
        for (auto& found : reconcile(dir->id, path)) {
            newDirectories_.emplace(found.path, found.dirID);
            work.push_back(std::move(found.path));
        }
        children_.erase(dir->id); // liveness below it may have changed
    }
}

// The folder record an absolute path names, walking down from its root by exact name bytes.
std::optional<Resolved> IndexUpdater::Pass::resolve(const std::string& path) {
    if (auto found = newDirectories_.find(path); found != newDirectories_.end())
        return Resolved{found->second, true};
    if (auto root = rootIds_.find(path); root != rootIds_.end())
        return Resolved{root->second, true};
    const auto parentPath = parentOf(path);
    if (!parentPath) return std::nullopt;
    const auto parent = resolve(*parentPath);
    if (!parent) return std::nullopt;
    const ChildMap& below = children(parent->id);
    const auto child = below.find(std::string_view(path).substr(path.rfind('/') + 1));
    if (child == below.end()) return std::nullopt;
    return Resolved{child->second.id, parent->live && child->second.live};
}

const ChildMap& IndexUpdater::Pass::children(std::uint32_t dir) {
    auto [at, fresh] = children_.try_emplace(dir);
    if (!fresh) return at->second;
    std::unordered_set<std::string_view> liveFolders;
    for (std::uint32_t entry : candidates(dir)) {
        const EntryFlags flags = index_.flags(entry);
        if (flags.contains(EntryFlags::directory()) && !flags.contains(EntryFlags::deleted()))
            liveFolders.insert(names_.displayBytes(index_.entryName[entry]));
    }
    const std::size_t known = index_.dirName.count();
    for (std::uint32_t child : navigator_.childDirectories(dir)) { // ascending: newest wins
        if (child >= known) continue;
        const std::string_view name = names_.displayBytes(index_.dirName[child]);
        at->second[std::string(name)] = Resolved{child, liveFolders.contains(name)};
    }
    return at->second;
}

// The navigator's entries of the folder, then those this updater appended since.
std::vector<std::uint32_t> IndexUpdater::Pass::candidates(std::uint32_t dir) const {
    std::vector<std::uint32_t> list = navigator_.entries(dir);
    if (auto appended = owner_.appendedEntries_.find(dir);
        appended != owner_.appendedEntries_.end())
        list.insert(list.end(), appended->second.begin(), appended->second.end());
    const auto count = static_cast<std::uint64_t>(index_.count());
    std::erase_if(list, [count](std::uint32_t entry) { return entry >= count; });
    return list;
}

// False when the folder cannot be opened or its listing broke off: a partial list would flag
// entries that are still there.
bool IndexUpdater::Pass::read(const std::string& path, std::vector<ScannedItem>& items) {
    const auto onEntry = [&](const char* name, std::size_t length, EntryFlags flags,
                             std::uint64_t size, std::uint32_t modified, std::uint32_t created,
                             std::uint32_t accessed) {
        items.push_back({std::string(name, length), flags, size, modified, created, accessed});
    };
    // A root may be a link the user gave; below it nothing is followed.
    const DirectoryScanner::Descriptor folder = rootIds_.contains(path)
                                                    ? DirectoryScanner::openRoot(path.c_str())
                                                    : DirectoryScanner::openDirectory(path.c_str());
    return folder &&
           DirectoryScanner::scan(folder.get(), {buffer_.get(), DirectoryScanner::bufferSize},
                                  syscalls_, onEntry) == DirectoryScanner::Outcome::completed;
}

std::vector<NewDirectory> IndexUpdater::Pass::reconcile(std::uint32_t dir,
                                                        const std::string& path) {
    std::vector<ScannedItem> items;
    if (!read(path, items)) return {};
    // Name -> first scanned item of that name; what is left at the end is new.
    std::unordered_map<std::string_view, std::size_t> remaining;
    for (std::size_t i = items.size(); i-- > 0;)
        remaining[items[i].name] = i;

    for (std::uint32_t entry : candidates(dir)) {
        const EntryFlags flags = index_.flags(entry);
        if (flags.contains(EntryFlags::deleted())) continue;
        const auto match = remaining.find(names_.displayBytes(index_.entryName[entry]));
        // A folder replaced by a file or link of the same name (or the reverse) is another
        // item: its old entry, and everything below a folder, goes.
        if (match == remaining.end() ||
            (items[match->second].flags & kindFlags) != (flags & kindFlags)) {
            flagDeleted(entry, dir);
            continue;
        }
        const ScannedItem& item = items[match->second];
        setIfChanged(index_.entrySize, entry, PackedSize::pack(item.size));
        setIfChanged(index_.entryModified, entry, item.modified);
        setIfChanged(index_.entryAccessed, entry, item.accessed);
        remaining.erase(match); // a second live entry of this name is a stale duplicate
    }

    std::vector<NewDirectory> newDirectories;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto left = remaining.find(items[i].name);
        if (left == remaining.end() || left->second != i) continue;
        append(items[i], dir, path, newDirectories);
    }
    return newDirectories;
}

void IndexUpdater::Pass::flagDeleted(std::uint32_t entry, std::uint32_t dir) {
    const EntryFlags flags = index_.flags(entry);
    index_.entryFlags.set(entry, (flags | EntryFlags::deleted()).rawValue);
    ++report_.removed;
    if (flags.contains(EntryFlags::directory()))
        markSubtreeDeleted(names_.displayBytes(index_.entryName[entry]), dir);
}

void IndexUpdater::Pass::append(const ScannedItem& item, std::uint32_t dir, const std::string& path,
                                std::vector<NewDirectory>& newDirectories) {
    const std::uint32_t name = names_.intern(item.name);
    const auto entry = static_cast<std::uint32_t>(index_.count());
    index_.appendEntry(name, dir, item.flags, PackedSize::pack(item.size), item.modified,
                       item.created, item.accessed);
    owner_.appendedEntries_[dir].push_back(entry);
    ++report_.added;
    if (!item.flags.contains(EntryFlags::directory())) return;
    std::string below = childPath(path, item.name);
    // As in a full build, an excluded folder is an entry without a folder record.
    if (excluded_.contains(below)) return;
    const std::uint32_t id = index_.directoryCount();
    index_.dirParent.append(dir);
    index_.dirName.append(name);
    newDirectories.push_back({std::move(below), id});
}

// Flags every entry below the newest record of that name under parent. Older records of the
// name belong to folders deleted earlier, whose entries carry the flag already.
void IndexUpdater::Pass::markSubtreeDeleted(std::string_view name, std::uint32_t parent) {
    std::optional<std::uint32_t> top;
    const std::size_t known = index_.dirName.count();
    for (std::uint32_t child : navigator_.childDirectories(parent))
        if (child < known && names_.displayBytes(index_.dirName[child]) == name) top = child;
    if (!top) return;
    std::vector<std::uint32_t> stack{*top};
    std::unordered_set<std::uint32_t> seen{*top};
    while (!stack.empty()) {
        const std::uint32_t dir = stack.back();
        stack.pop_back();
        for (std::uint32_t entry : candidates(dir)) {
            const EntryFlags flags = index_.flags(entry);
            if (flags.contains(EntryFlags::deleted())) continue;
            index_.entryFlags.set(entry, (flags | EntryFlags::deleted()).rawValue);
            ++report_.removed;
        }
        for (std::uint32_t child : navigator_.childDirectories(dir))
            if (seen.insert(child).second) stack.push_back(child);
        children_.erase(dir);
    }
}

IndexUpdater::IndexUpdater(FileIndex index, SharedNameTable names, SharedIndexNavigator navigator,
                           std::vector<std::string> excludedFolders)
    : index_(std::move(index)), names_(std::move(names)), navigator_(std::move(navigator)),
      excludedFolders_(std::move(excludedFolders)) {
    if (!names_) names_ = std::make_shared<NameTable>();
    if (!navigator_) navigator_ = std::make_shared<IndexNavigator>();
    ownAll(index_.entryFlags);
    ownAll(index_.entrySize);
    ownAll(index_.entryModified);
    ownAll(index_.entryAccessed);
}

IndexUpdater::Report IndexUpdater::apply(const FileSystemWatcher::Batch& batch) {
    // Interning without the lookup index would store a second copy of a known name.
    names_->rebuildIndexIfNeeded();
    if (!navigator_->isReady()) {
        // Without the downward tables every entry would look new and be appended twice.
        if (!navigator_->build(index_))
            return {0, 0, 0,
                    static_cast<std::int64_t>(batch.paths.size() + batch.mustScanSubtrees.size())};
        appendedEntries_.clear();
    }
    Pass pass(*this);
    const Report report = pass.run(batch);
    // Without the rebuild the appended entries stay reachable through appendedEntries_.
    if (report.added > 0 && navigator_->build(index_)) appendedEntries_.clear();
    return report;
}

} // namespace vesko
