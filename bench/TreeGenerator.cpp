// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeGenerator.h"

#include "TreePlan.h"
#include "TreeWriter.h"

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace vesko {
namespace {

void prepareRoot(const std::string& root) {
    std::error_code error;
    std::filesystem::create_directories(root, error);
    if (error) throw std::runtime_error("cannot create " + root + ": " + error.message());
    if (!std::filesystem::is_empty(root, error) || error)
        throw std::runtime_error(root +
                                 " is not empty; the tree is generated only into an empty folder");
}

} // namespace

TreeStats generateTree(const std::string& root, const TreeShape& shape) {
    TreeStats stats;
    const auto start = std::chrono::steady_clock::now();
    try {
        prepareRoot(root);
        stats = treegen::writeTree(root, shape, treegen::makePlan(shape));
    } catch (const std::exception& failure) {
        stats.error = failure.what();
    }
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return stats;
}

std::string describe(const TreeStats& stats) {
    std::ostringstream out;
    out << "entries " << stats.entries << " (folders " << stats.folders << ", files " << stats.files
        << ", hidden " << stats.hidden << ")\n"
        << "files: empty " << stats.emptyFiles << ", with content " << stats.filesWithContent
        << ", logical bytes " << stats.logicalBytes << "\n"
        << "names with 보고서: NFC " << stats.bogoseoNfc << ", NFD " << stats.bogoseoNfd
        << "; with résumé: NFC " << stats.resumeNfc << ", NFD " << stats.resumeNfd << "\n"
        << "max depth " << stats.maxDepth << "; entries by depth:";
    for (std::size_t d = 1; d < stats.depthCounts.size(); ++d)
        out << " " << d << ":" << stats.depthCounts[d];
    out << "\n"
        << "seconds " << stats.seconds;
    if (!stats.error.empty()) out << "\nerror: " << stats.error;
    return out.str();
}

} // namespace vesko
