// SPDX-License-Identifier: MIT
// Inputs found by the fuzz targets (fuzz/), kept as tests of what they broke.
#include "index/NameTable.h"
#include "index/Unicode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vesko {
namespace {

// fuzz_intern, the empty input: an empty name's bytes are a view without a data pointer,
// and comparing two of them passed that null pointer to memcmp (UBSan reports it).
TEST(NameTableFuzzRegression, EmptyNamesCompareWithoutTouchingTheirBytes) {
    NameTable names;
    const std::uint32_t empty = names.intern("");
    const std::uint32_t a = names.intern("a");
    EXPECT_EQ(names.compareFolded(empty, empty), 0);
    EXPECT_EQ(names.compareFolded(empty, a), -1);
    EXPECT_EQ(names.compareFolded(a, empty), 1);
}

// The property fuzz_intern and fuzz_query check: a lowercase form folds to itself. U+0130
// lowercases to i and U+0307 (class 230), which then stood before a following mark of a
// lower class, so a second folding reordered them and a query normalized twice no longer
// matched the name's bytes.
TEST(NameTableFuzzRegression, FoldIsIdempotentAfterDottedCapitalI) {
    for (const char* name :
         {"\xC4\xB0\xCC\x96", "X\xC4\xB0\xCC\xA3\xCC\x81.txt", "\xC4\xB0\xCC\xA8", "\xC4\xB0"}) {
        const std::string lower = Unicode::folded(name);
        EXPECT_EQ(Unicode::folded(lower), lower) << name;
    }
    NameTable names;
    const std::uint32_t id = names.intern("\xC4\xB0\xCC\x96");
    EXPECT_EQ(names.foldedBytes(id), "i\xCC\x96\xCC\x87");
}

} // namespace
} // namespace vesko
