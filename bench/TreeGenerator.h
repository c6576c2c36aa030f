// SPDX-License-Identifier: GPL-3.0-or-later
// A seeded generator of a folder tree shaped like a real home folder (hidden config and
// cache folders, source trees, photo and document folders, Korean and NFC/NFD accented
// names), so scans and searches are measured on the same tree on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesko {

// Changes whenever the same shape would give a different tree, so saved trees are redone.
constexpr int treeGeneratorVersion = 1;

struct TreeShape {
    std::uint64_t seed = 42;
    std::int64_t entries = 1'000'000; // files plus folders below the root
    double folderShare = 0.10;
    double emptyShare = 0.05;    // files left at length 0
    double contentShare = 0.002; // files given real text bytes
    bool realisticSizes = true;  // other files get a length by ftruncate (sparse, no data)
    bool setTimes = true;        // modified and accessed times spread over 2015..2025
    int threads = 0;             // writers; 0 = one per processor, at most 8
};

struct TreeStats {
    std::int64_t entries = 0;
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::int64_t hidden = 0; // entries whose name starts with a dot
    std::int64_t emptyFiles = 0;
    std::int64_t filesWithContent = 0;
    std::int64_t logicalBytes = 0;         // sum of file lengths, sparse ones included
    std::int64_t bogoseoNfc = 0;           // names containing "보고서" in NFC
    std::int64_t bogoseoNfd = 0;           // the same word decomposed into jamo
    std::int64_t resumeNfc = 0;            // names containing "résumé" precomposed
    std::int64_t resumeNfd = 0;            // the same word with combining accents
    int maxDepth = 0;                      // a child of the root has depth 1
    std::vector<std::int64_t> depthCounts; // entries per depth, index = depth
    double seconds = 0;
    std::string error; // empty on success; otherwise what failed and where
};

// Creates the tree below root, which must be missing or empty. The same shape always gives
// the same names, types, lengths, contents and times (byte-identical trees). Throws
// nothing: a failure stops the generation and is described in TreeStats::error.
TreeStats generateTree(const std::string& root, const TreeShape& shape);

// Multi-line human-readable summary of the stats.
std::string describe(const TreeStats& stats);

} // namespace vesko
