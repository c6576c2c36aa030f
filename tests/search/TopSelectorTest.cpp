// SPDX-License-Identifier: MIT
#include "search/TopSelector.h"

#include "support/MemoryIndex.h"
#include "support/TestSeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <tuple>

namespace vesko {
namespace {

using Field = ResultSort::Field;

// A root "/r" (directory 0); files and folders are appended by the tests.
struct TopSelectorTest : ::testing::Test, test::MemoryIndex {
    TopSelectorTest() { root("/r"); }

    TopSelector selector(ResultSort sort, std::int64_t limit, std::string needle = {},
                         bool foldersFirst = false) {
        return TopSelector(limit, sort, index, names, std::move(needle), foldersFirst, "Folder",
                           [](std::string_view extension) {
                               if (extension == "pdf") return std::string("PDF document");
                               if (extension == "txt" || extension == "md")
                                   return std::string("Text");
                               // Long shared prefixes, so kinds are told apart past 8 bytes.
                               return "Document of type " + std::string(extension);
                           });
    }
    static Search::Hit hitOf(const FileIndex& index, std::int64_t entry) {
        return {entry, index.flags(entry).contains(EntryFlags::directory())};
    }
};

// Random indexes over two roots: for every field and direction, with and without folders
// first, the selector's hits are the brute-force sort of all entries by `precedes`, cut to
// the limit (prepared name caches and two halves, one absorbing the other, are the search's
// walk, tests/search/SearchTest.cpp). The brute-force order is also checked against keys
// built here from plain strings, with index order breaking ties.
struct Random : TopSelectorTest {
    std::mt19937 rng{static_cast<std::mt19937::result_type>(test::testSeed("TopSelectorRandom"))};
    std::string randomName() {
        static const std::string alphabet = "aAbBsS.-_ ";
        std::string name =
            std::uniform_int_distribution<int>(0, 3)(rng) == 0 ? "LongCommonPrefix" : "";
        const int length = std::uniform_int_distribution<int>(1, 6)(rng);
        for (int i = 0; i < length; ++i)
            name +=
                alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        return name;
    }
    void fill(int directories, int entries) {
        std::vector<std::uint32_t> dirs{0, root("/Q")};
        for (int d = 0; d < directories; ++d) {
            const auto parent =
                dirs[std::uniform_int_distribution<std::size_t>(0, dirs.size() - 1)(rng)];
            dirs.push_back(
                folder(std::string("d").append(std::to_string(d)) + randomName(), parent));
        }
        for (int e = 0; e < entries; ++e) {
            const auto dir =
                dirs[std::uniform_int_distribution<std::size_t>(0, dirs.size() - 1)(rng)];
            const auto value = std::uniform_int_distribution<std::uint32_t>(0, 20)(rng);
            file(randomName(), dir, value, {value * 7 % 13, value * 5 % 11, value});
        }
    }
    std::string lower(std::uint32_t name) const { return std::string(names.foldedBytes(name)); }
    static int naiveRank(const std::string& name, const std::string& needle) {
        if (name.starts_with(needle)) return 0;
        for (auto q = name.find(needle, 1); q != std::string::npos; q = name.find(needle, q + 1))
            if (std::string_view(" (+-./@_~").find(name[q - 1]) != std::string_view::npos) return 2;
        return 3;
    }
    std::uint64_t naiveDepth(std::uint32_t d) const {
        std::uint64_t steps = 0;
        for (; index.dirParent[d] != d && steps < 129; d = index.dirParent[d])
            ++steps;
        return steps;
    }
    // The key of one entry built from plain strings and columns, in ascending sense.
    using NaiveKey = std::tuple<std::uint64_t, std::string, std::string>;
    NaiveKey naiveKey(TopSelector& top, Field field, const std::string& needle, std::int64_t e) {
        const auto i = static_cast<std::size_t>(e);
        const std::string name = lower(index.entryName[i]);
        switch (field) {
        case Field::relevance: {
            const std::uint64_t rank = naiveRank(name, needle);
            return {rank << 40 | naiveDepth(index.entryDir[i]) << 32 | name.size(), name, ""};
        }
        case Field::name:
            return {0, name, ""};
        case Field::path: {
            std::string dir = index.pathOfDirectory(index.entryDir[i], names);
            std::transform(dir.begin(), dir.end(), dir.begin(), ::tolower);
            return {0, dir, name};
        }
        case Field::kind:
            return {0, top.kindKey(e), name};
        case Field::size:
            return {index.entrySize[i], "", ""};
        case Field::modified:
            return {index.entryModified[i], "", ""};
        case Field::created:
            return {index.entryCreated[i], "", ""};
        case Field::accessed:
            return {index.entryAccessed[i], "", ""};
        default:
            return {};
        }
    }
};

TEST_F(Random, SelectorEqualsBruteForceSort) {
    fill(30, 700);
    std::vector<std::int64_t> all(static_cast<std::size_t>(index.count()));
    std::iota(all.begin(), all.end(), 0);
    for (const auto& [field, text] : ResultSort::fieldTexts)
        for (bool ascending : {true, false})
            for (bool foldersFirst : {false, true})
                for (const char* needle : {"", "s", "a.", "longcommon"})
                    for (std::int64_t limit : {-1, 0, 1, 9, 100, 5000}) {
                        if (field != Field::relevance && *needle) continue;
                        SCOPED_TRACE(std::string(text) + (ascending ? " up" : " down") +
                                     (foldersFirst ? " folders first" : "") + " needle '" + needle +
                                     "' limit " + std::to_string(limit));
                        const ResultSort sort{field, ascending};
                        TopSelector top = selector(sort, limit, needle, foldersFirst);
                        for (auto e : all)
                            top.offer(hitOf(index, e));
                        const auto hits = top.finish();

                        TopSelector ref = selector(sort, limit, needle, foldersFirst);
                        auto brute = all;
                        if (field != Field::none || foldersFirst)
                            std::stable_sort(brute.begin(), brute.end(),
                                             [&](auto a, auto b) { return ref.precedes(a, b); });
                        brute.resize(std::clamp<std::int64_t>(limit, 0, std::ssize(brute)));
                        ASSERT_EQ(hits.size(), brute.size());
                        for (std::size_t k = 0; k < hits.size(); ++k)
                            ASSERT_EQ(hits[k], hitOf(index, brute[k])) << k;
                        if (field == Field::none || (field == Field::relevance && !*needle)) {
                            for (std::size_t k = 1; k < brute.size(); ++k) {
                                const bool sameKind = hitOf(index, brute[k - 1]).isDirectory ==
                                                      hitOf(index, brute[k]).isDirectory;
                                ASSERT_TRUE((foldersFirst && !sameKind) || brute[k - 1] < brute[k]);
                            }
                            continue;
                        }
                        const bool up = ascending || field == Field::relevance;
                        for (std::size_t k = 1; k < brute.size(); ++k) {
                            if (foldersFirst && hitOf(index, brute[k - 1]).isDirectory !=
                                                    hitOf(index, brute[k]).isDirectory)
                                continue;
                            const auto x = naiveKey(ref, field, needle, brute[k - 1]);
                            const auto y = naiveKey(ref, field, needle, brute[k]);
                            ASSERT_TRUE(up ? x < y || (x == y && brute[k - 1] < brute[k])
                                           : y < x || (x == y && brute[k - 1] < brute[k]))
                                << k;
                        }
                    }
}

} // namespace
} // namespace vesko
