// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/FolderScope.h"

namespace vesko {
namespace {

std::string withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

// The root that holds `path`, longest first so that nested volume roots win; the length of
// its path, or npos.
std::size_t rootOf(const FileIndex& index, const std::string& path, std::uint32_t& root) {
    std::size_t best = std::string::npos;
    for (const auto& [id, rootPath] : index.rootPaths) {
        const bool holds = path == rootPath || rootPath == "/" ||
                           (path.starts_with(rootPath) && path[rootPath.size()] == '/');
        if (!holds || (best != std::string::npos && rootPath.size() <= best)) continue;
        best = rootPath.size();
        root = id;
    }
    return best;
}

std::vector<std::string> componentsOf(std::string_view rest) {
    std::vector<std::string> components;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (!part.empty()) components.emplace_back(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return components;
}

} // namespace

std::shared_ptr<const FolderScope> FolderScope::of(const FileIndex& index, const NameTable& names,
                                                   std::string_view path,
                                                   std::shared_ptr<const FolderScope> older) {
    const std::string wanted = withoutTrailingSlashes(path);
    const std::uint32_t count = index.directoryCount();
    if (older && older->path_ == wanted && older->count_ <= count) {
        if (older->count_ == count) return older;
        if (!older->isResolved() || !older->pathReplaced(index, names, older->count_)) {
            auto scope = std::make_shared<FolderScope>(*older);
            if (!scope->isResolved())
                scope->resolve(index, names);
            else
                scope->mark(index, older->count_);
            return scope;
        }
    }
    auto scope = std::make_shared<FolderScope>();
    scope->path_ = wanted;
    scope->resolve(index, names);
    return scope;
}

void FolderScope::resolve(const FileIndex& index, const NameTable& names) {
    chain_.clear();
    bits_.assign(index.directoryCount() / 64 + 1, 0);
    count_ = index.directoryCount();
    std::uint32_t root = 0;
    const std::size_t rootLength = rootOf(index, path_, root);
    if (rootLength == std::string::npos) return;
    components_ = componentsOf(std::string_view(path_).substr(std::min(rootLength, path_.size())));
    const ColumnView<std::uint32_t> parents = ColumnView<std::uint32_t>::of(index.dirParent);
    const ColumnView<std::uint32_t> dirNames = ColumnView<std::uint32_t>::of(index.dirName);
    std::vector<std::uint32_t> chain{root};
    for (const std::string& component : components_) {
        const std::uint32_t parent = chain.back();
        std::uint32_t found = parent;
        // Children come after their parent; the newest of one name is the live one.
        for (std::uint32_t d = parent + 1; d < count_; ++d)
            if (parents[d] == parent && names.displayBytes(dirNames[d]) == component) found = d;
        if (found == parent) return;
        chain.push_back(found);
    }
    chain_ = std::move(chain);
    mark(index, folder());
}

void FolderScope::mark(const FileIndex& index, std::uint32_t from) {
    const std::uint32_t count = index.directoryCount();
    bits_.resize(count / 64 + 1, 0);
    count_ = count;
    const std::uint32_t top = folder();
    bits_[top >> 6] |= std::uint64_t{1} << (top & 63);
    const ColumnView<std::uint32_t> parents = ColumnView<std::uint32_t>::of(index.dirParent);
    for (std::uint32_t d = std::max(from, top + 1); d < count; ++d) {
        const std::uint32_t parent = parents[d];
        if (parent != d && parent < d && contains(parent))
            bits_[d >> 6] |= std::uint64_t{1} << (d & 63);
    }
}

bool FolderScope::pathReplaced(const FileIndex& index, const NameTable& names,
                               std::uint32_t from) const {
    const ColumnView<std::uint32_t> parents = ColumnView<std::uint32_t>::of(index.dirParent);
    const ColumnView<std::uint32_t> dirNames = ColumnView<std::uint32_t>::of(index.dirName);
    for (std::uint32_t d = from; d < index.directoryCount(); ++d)
        for (std::size_t k = 0; k < components_.size(); ++k)
            if (parents[d] == chain_[k] && names.displayBytes(dirNames[d]) == components_[k])
                return true;
    return false;
}

} // namespace vesko
