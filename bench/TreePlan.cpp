// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreePlan.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vesko::treegen {
namespace {

std::uint32_t addFolder(Plan& plan, std::uint32_t parent, std::string name) {
    const std::string base = name;
    for (int n = 2; !plan.taken.insert(std::to_string(parent) + "/" + name).second; ++n)
        name = base + " " + std::to_string(n);
    const auto id = static_cast<std::uint32_t>(plan.folders.size());
    PlannedFolder folder;
    folder.parent = parent;
    folder.depth = plan.folders[parent].depth + 1;
    folder.theme = themeOf(name, plan.folders[parent].theme);
    folder.name = std::move(name);
    plan.folders.push_back(std::move(folder));
    plan.folders[parent].children.push_back(id);
    if (plan.byDepth.size() <= static_cast<std::size_t>(plan.folders[id].depth))
        plan.byDepth.resize(plan.folders[id].depth + 1);
    plan.byDepth[plan.folders[id].depth].push_back(id);
    return id;
}

// The fixed top of a desktop home folder: where a real tree would start.
void addSkeleton(Plan& plan, std::int64_t folderCount) {
    static constexpr std::pair<int, std::string_view> skeleton[] = {
        {0, "Desktop"}, {0, "Documents"}, {0, "Downloads"}, {0, "Music"},  {0, "Pictures"},
        {0, "Videos"},  {0, "Projects"},  {0, "문서"},      {0, "사진"},   {0, "Templates"},
        {0, ".config"}, {0, ".cache"},    {0, ".local"},    {0, ".ssh"},   {0, ".mozilla"},
        {0, ".vscode"}, {0, ".npm"},      {13, "share"},    {13, "state"}, {13, "bin"},
        {7, "vesko"},   {2, "보고서"},    {21, ".git"},     {21, "src"},   {18, "Trash"}};
    for (const auto& [parent, name] : skeleton) {
        if (static_cast<std::int64_t>(plan.folders.size()) > folderCount) return;
        addFolder(plan, static_cast<std::uint32_t>(parent), std::string(name));
    }
}

// Folder depths (2..14) by weight: most between 2 and 7, so most files sit at 3 to 8. The
// top level is the fixed skeleton only, as in a real home folder.
int pickDepth(Rng& rng, int deepestSoFar) {
    static constexpr std::array<int, 15> weight = {0,  0,  100, 180, 200, 170, 120, 80,
                                                   50, 30, 20,  12,  8,   5,   3};
    int total = 0;
    for (int w : weight)
        total += w;
    int r = static_cast<int>(rng.below(static_cast<std::uint64_t>(total)));
    int depth = 1;
    while (r >= weight[depth])
        r -= weight[depth++];
    return std::min(depth, deepestSoFar + 1);
}

std::uint32_t pickParent(Plan& plan, Rng& rng, int depth) {
    const auto& level = plan.byDepth[depth - 1];
    // Half the time a recent folder, so some folders grow many sub-folders as real ones do.
    if (rng.perMille(600))
        return level[level.size() - 1 - rng.below(std::min<std::size_t>(level.size(), 16))];
    return level[rng.below(level.size())];
}

void assignFiles(Plan& plan, Rng& rng, std::int64_t files) {
    const auto count = static_cast<std::uint32_t>(plan.folders.size());
    for (std::int64_t i = 0; i < files; ++i) {
        std::uint32_t folder = 0;
        if (count > 1 && rng.below(50'000) != 0) { // a home folder's top holds few files
            folder = 1 + rng.below(count - 1);
            // Every 53rd folder is a crowded one (photo dumps, package caches, objects).
            if (rng.perMille(300))
                folder = std::min<std::uint32_t>(folder / 53 * 53 + 1, count - 1);
            // Every 29th folder stays empty.
            if (folder % 29 == 3) folder = std::min<std::uint32_t>(folder + 1, count - 1);
        }
        ++plan.folders[folder].files;
    }
}

} // namespace

Plan makePlan(const TreeShape& shape) {
    Rng rng(mix(shape.seed, 0x706c616e));
    const std::int64_t entries = std::max<std::int64_t>(shape.entries, 0);
    const auto folderCount = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(entries * shape.folderShare), 0, entries);
    Plan plan;
    plan.folders.emplace_back(); // the root
    plan.byDepth.push_back({0});
    addSkeleton(plan, folderCount);
    while (static_cast<std::int64_t>(plan.folders.size()) <= folderCount) {
        const int depth = pickDepth(rng, static_cast<int>(plan.byDepth.size()) - 1);
        const std::uint32_t parent = pickParent(plan, rng, depth);
        addFolder(plan, parent, folderName(plan.folders[parent].theme, rng));
    }
    assignFiles(plan, rng, entries - folderCount);
    return plan;
}

std::string uniqueName(std::unordered_set<std::string>& taken, std::string name) {
    if (taken.insert(name).second) return name;
    const auto dot = name.find('.', 1);
    const std::string stem = name.substr(0, dot),
                      ext = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
        if (taken.insert(candidate).second) return candidate;
    }
}

} // namespace vesko::treegen
