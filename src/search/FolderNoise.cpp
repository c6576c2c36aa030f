// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/FolderNoise.h"

#include <algorithm>
#include <array>

namespace vesko {
namespace {

// Folded names, so "Build" and "SteamApps" count too.
constexpr std::array<std::string_view, 12> noiseNames{
    "node_modules", "bower_components", "vendor", "__pycache__", "site-packages", "dist-packages",
    "venv",         "target",           "build",  "cmakefiles",  "steamapps",     "snap"};

} // namespace

bool FolderNoise::isNoiseName(std::string_view folded) {
    if (folded.empty()) return false;
    if (folded.front() == '.') return folded != "." && folded != "..";
    if (folded.starts_with("cmake-build-")) return true;
    // Most folder names are settled by their length before any comparison.
    if (folded.size() < 4 || folded.size() > 16) return false;
    for (const std::string_view name : noiseNames)
        if (name == folded) return true;
    return false;
}

std::shared_ptr<const FolderNoise> FolderNoise::of(const FileIndex& index, const NameTable& names,
                                                   std::shared_ptr<const FolderNoise> older) {
    const std::uint32_t count = index.directoryCount();
    if (older && older->count_ == count) return older;
    auto noise = std::make_shared<FolderNoise>();
    std::uint32_t from = 0;
    if (older && older->count_ < count) {
        noise->bits_ = older->bits_;
        noise->depths_ = older->depths_;
        from = older->count_;
    }
    noise->bits_.resize(count / 64 + 1, 0);
    noise->depths_.resize(count, unknownDepth);
    noise->count_ = count;
    const ColumnView<std::uint32_t> parents = ColumnView<std::uint32_t>::of(index.dirParent);
    const ColumnView<std::uint32_t> dirNames = ColumnView<std::uint32_t>::of(index.dirName);
    for (std::uint32_t d = from; d < count; ++d) {
        const std::uint32_t parent = parents[d];
        if (parent == d) { // a root
            noise->depths_[d] = 0;
            continue;
        }
        if (parent < d && noise->depths_[parent] != unknownDepth)
            noise->depths_[d] =
                static_cast<std::uint8_t>(std::min(deepest, noise->depths_[parent] + 1));
        const bool inherited = parent < d && noise->isNoise(parent);
        if (inherited || isNoiseName(names.foldedBytes(dirNames[d])))
            noise->bits_[d >> 6] |= std::uint64_t{1} << (d & 63);
    }
    return noise;
}

} // namespace vesko
