// SPDX-License-Identifier: MIT
// Inputs found by the fuzz targets (fuzz/), kept as tests of what they broke.
#include "index/IndexArchive.h"
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

// Archive bytes written field by field in the file's layout.
class ArchiveBytes {
public:
    ArchiveBytes& raw(const void* p, std::size_t n) {
        bytes_.append(static_cast<const char*>(p), n);
        return *this;
    }
    ArchiveBytes& u32(std::uint32_t v) { return raw(&v, 4); }
    ArchiveBytes& u64(std::uint64_t v) { return raw(&v, 8); }
    ArchiveBytes& text(const std::string& t) {
        return u32(static_cast<std::uint32_t>(t.size())).raw(t.data(), t.size());
    }
    template <class T> ArchiveBytes& block(const std::vector<T>& elements) {
        u32(static_cast<std::uint32_t>(elements.size()));
        bytes_.append(-bytes_.size() & 7, '\0');
        return raw(elements.data(), elements.size() * sizeof(T));
    }
    // Aligned as a mapping would be.
    std::vector<std::uint64_t> aligned() const {
        std::vector<std::uint64_t> words((bytes_.size() + 7) / 8);
        std::memcpy(words.data(), bytes_.data(), bytes_.size());
        return words;
    }
    std::size_t size() const { return bytes_.size(); }

private:
    std::string bytes_;
};

// One root "/r", one name "a" in shard 0, three directories all named "a" with the given
// parents, no entries.
ArchiveBytes threeDirectories(const std::vector<std::uint32_t>& parents) {
    ArchiveBytes file;
    file.raw("VESKOIDX", 8).u32(IndexArchive::version).u64(0).u64(0);
    file.u32(1).u32(0).text("/r");
    file.u32(32);
    for (int shard = 0; shard < 32; ++shard) {
        const bool named = shard == 0;
        file.block(named ? std::vector<std::uint8_t>{'a'} : std::vector<std::uint8_t>{});
        file.block(named ? std::vector<std::uint32_t>{0, 1} : std::vector<std::uint32_t>{0});
        file.block(std::vector<std::uint8_t>{});
        file.block(named ? std::vector<std::uint32_t>{0, 0} : std::vector<std::uint32_t>{0});
    }
    file.block(parents).block(std::vector<std::uint32_t>{0, 0, 0});
    file.block(std::vector<std::uint32_t>{}).block(std::vector<std::uint32_t>{});
    file.block(std::vector<std::uint8_t>{});
    for (int dates = 0; dates < 4; ++dates)
        file.block(std::vector<std::uint32_t>{});
    return file;
}

struct ParentCase {
    const char* name;
    std::vector<std::uint32_t> parents;
    bool loads;
};

class ArchiveFuzzRegression : public ::testing::TestWithParam<ParentCase> {};

// fuzz_archive: an archive whose directory 1 had the later directory 2 as its parent
// loaded, though FileIndex::checkInvariants rejects such an index and the search's single
// forward pass over directories assumes parents come first.
TEST_P(ArchiveFuzzRegression, DirectoryParentsMustComeFirst) {
    const ArchiveBytes file = threeDirectories(GetParam().parents);
    const std::vector<std::uint64_t> words = file.aligned();
    const auto loaded = IndexArchive::loadFromBytes({"/r"}, words.data(), file.size());
    ASSERT_EQ(loaded.has_value(), GetParam().loads);
    if (loaded) {
        EXPECT_EQ(loaded->index.checkInvariants(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ArchiveFuzzRegression,
                         ::testing::Values(ParentCase{"InOrder", {0, 0, 1}, true},
                                           ParentCase{"LaterParent", {0, 2, 0}, false},
                                           ParentCase{"Cycle", {0, 2, 1}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vesko
