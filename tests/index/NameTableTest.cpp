// SPDX-License-Identifier: GPL-3.0-or-later
#include "index/NameTable.h"
#include "index/Unicode.h"

#include <gtest/gtest.h>

#include "support/RestoredNames.h"
#include "support/TestSeed.h"

#include <atomic>
#include <map>
#include <random>
#include <set>
#include <thread>

namespace vesko {
namespace {

// Each name's folded form (what matching runs over), the form kept when diacritics must
// match, and its display form as valid UTF-8. Case folding, not lowercasing: lowercasing
// gives a final sigma where a word ends and keeps ß, so a query and a name spelled
// differently in case would not meet. Only the marks of the combining diacritics blocks are
// dropped: Hangul, kana voiced sound marks and the marks of other scripts are letters.
TEST(NameTable, FoldedMatchedAndDisplayForms) {
    const std::string longName = std::string(65, 'A') + std::string(200, 'b');
    const std::string longFolded = std::string(65, 'a') + std::string(200, 'b');
    // Letters with a mark from each of the four other blocks: U+1AB0, U+1DC0, U+20D7, U+FE20.
    const std::string otherBlocks = "a\xE1\xAA\xB0"
                                    "b\xE1\xB7\x80"
                                    "c\xE2\x83\x97"
                                    "d\xEF\xB8\xA0";
    const struct {
        std::string name;
        const char* folded;
        const char* matched; // null: only checked to be stable under folding again
    } cases[] = {
        {"README.txt", "readme.txt", "readme.txt"},
        {"Cafe\xCC\x81.txt", "cafe.txt", "caf\xC3\xA9.txt"}, // NFD
        {"Résumé.txt", "resume.txt", "résumé.txt"},
        {"Tiếng Việt", "tieng viet", "tiếng việt"}, // two marks on one letter
        {otherBlocks, "abcd", otherBlocks.c_str()},
        {"\xCC\x81", "", "\xCC\x81"},             // a mark alone
        {"\xE3\x82\xAB\xE3\x82\x99", "ガ", "ガ"}, // カ and U+3099 compose
        {"カ", "カ", "カ"},                       // so ガ does not find カ
        {"\xE1\x84\x87\xE1\x85\xA9", "보", "보"}, // conjoining jamo compose
        {"\xE0\xA4\x95\xE0\xA4\xBC", "\xE0\xA4\x95\xE0\xA4\xBC", "\xE0\xA4\x95\xE0\xA4\xBC"},
        {"ΣΟΦΊΑ", "σοφια", nullptr},
        {"οδος", "οδοσ", nullptr},
        {"Straße", "strasse", "strasse"},
        {"\xC4\xB0", "i", nullptr},                     // capital I with dot above
        {"\xC4\xB0\xCC\x96", "i", "i\xCC\x96\xCC\x87"}, // found by fuzzing, see below
        {longName, longFolded.c_str(), longFolded.c_str()},
        {"", "", ""},
    };
    // U+0130 lowercases to i and U+0307 (class 230), which then stood before a following mark
    // of a lower class, so a second folding reordered them and a query folded twice no longer
    // matched the name's bytes.
    NameTable names;
    for (const auto& c : cases) {
        const auto id = names.intern(c.name);
        EXPECT_EQ(names.folded(id), c.folded) << c.name;
        EXPECT_EQ(names.foldedBytes(id), c.folded) << c.name;
        EXPECT_EQ(names.display(id), c.name);
        EXPECT_EQ(names.displayBytes(id), c.name);
        EXPECT_EQ(names.intern(c.name), id) << c.name;
        const std::string matched = Unicode::folded(c.name, Unicode::Diacritics::matched);
        if (c.matched) {
            EXPECT_EQ(matched, c.matched) << c.name;
        }
        EXPECT_EQ(Unicode::folded(matched, Unicode::Diacritics::matched), matched) << c.name;
        EXPECT_EQ(Unicode::folded(c.folded), c.folded) << c.name;
    }
    // Invalid UTF-8 keeps its bytes; its display form replaces each bad sequence.
    const std::string invalid("bad\xFF\xFEName\xC3", 10);
    const auto bad = names.intern(invalid);
    EXPECT_EQ(names.displayBytes(bad), invalid);
    EXPECT_EQ(names.folded(bad), "bad\xEF\xBF\xBD\xEF\xBF\xBDname\xEF\xBF\xBD");
    EXPECT_EQ(names.display(bad), "bad\xEF\xBF\xBD\xEF\xBF\xBDName\xEF\xBF\xBD");
    EXPECT_EQ(names.uniqueCount(), static_cast<std::int64_t>(std::size(cases)) + 1);
    NameTable two;
    two.intern("readme.txt");
    two.intern("README.txt");
    EXPECT_EQ(two.displayBytes(), 10); // only the capitalised name stores a display form
    EXPECT_EQ(names.checkInvariants(), "");
}

// Folding twice must change nothing, or a query folded again would miss the stored names.
TEST(NameTable, FoldingIsIdempotentOnRandomText) {
    std::mt19937_64 random(test::testSeed("NameTable.FoldingIsIdempotentOnRandomText"));
    // Letters with special folds, combining marks of several classes, and plain text.
    // clang-format off
    const char* pieces[] = {"\xC4\xB0", "\xCC\x96", "\xCC\xA3", "\xCC\x81", "\xCC\x87", "\xCD\x85",
                            "\xCE\xA3", "\xCF\x82", "\xC3\x9F", "\xE1\xBA\x9E", "\xE1\xBE\xB3",
                            "\xEF\xAC\x81", "\xC7\xB0", "A", "s", ".", "\xE2\x84\xAA", "\xC5\xBF",
                            "\xEA\xB0\x80", "\xFF", "\xE3\x82\xAB", "\xE3\x82\x99",
                            "\xE0\xA4\xBC", "\xE1\xAA\xB0", "\xE1\xBB\x87"};
    // clang-format on
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        for (const auto diacritics : {Unicode::Diacritics::ignored, Unicode::Diacritics::matched}) {
            const std::string once = Unicode::folded(text, diacritics);
            ASSERT_EQ(Unicode::folded(once, diacritics), once) << text;
        }
        // What holds a text with its diacritics holds it without them: the search finds
        // candidates for the matched form in the stored one.
        ASSERT_EQ(Unicode::folded(Unicode::folded(text, Unicode::Diacritics::matched)),
                  Unicode::folded(text))
            << text;
    }
}

// Found by fuzzing interning: an empty name's bytes are a view without a data pointer, and
// comparing two of them passed that null pointer to memcmp (UBSan reports it).
TEST(NameTable, EmptyNamesCompareWithoutTouchingTheirBytes) {
    NameTable names;
    const std::uint32_t empty = names.intern("");
    const std::uint32_t a = names.intern("a");
    EXPECT_EQ(names.compareFolded(empty, empty), 0);
    EXPECT_EQ(names.compareFolded(empty, a), -1);
    EXPECT_EQ(names.compareFolded(a, empty), 1);
}

TEST(NameTable, RestoredTableNeedsItsIndexRebuiltToFindNames) {
    NameTable original;
    std::map<std::string, std::uint32_t> ids;
    for (const char* n : {"alpha", "Beta", "gamma.TXT", "보고서", ""})
        ids[n] = original.intern(n);

    const SharedNameTable restoredTable = test::restoredNames(original);
    NameTable& restored = *restoredTable;
    EXPECT_FALSE(restored.hasIndex());
    EXPECT_EQ(restored.uniqueCount(), original.uniqueCount());
    EXPECT_EQ(restored.mappedNameBytes(), original.nameBytes() + original.displayBytes());
    for (const auto& [name, id] : ids)
        EXPECT_EQ(restored.displayBytes(id), name);

    restored.rebuildIndexIfNeeded();
    EXPECT_TRUE(restored.hasIndex());
    for (const auto& [name, id] : ids)
        EXPECT_EQ(restored.intern(name), id);
    const auto fresh = restored.intern("delta");
    EXPECT_EQ(restored.foldedBytes(fresh), "delta");
    EXPECT_EQ(restored.checkInvariants(), "");

    restored.releaseIndex();
    EXPECT_FALSE(restored.hasIndex());
    EXPECT_EQ(restored.hashTableBytes(), 0);
    EXPECT_EQ(restored.displayBytes(ids["Beta"]), "Beta"); // still readable
}

// The lookup keeps 32 bits of a name's key, which two names of one shard can share: both
// must keep their own id, or the second would be stored again at every intern.
TEST(NameTable, NamesSharingTheirHashBitsKeepTheirOwnIds) {
    // Found by a search over "file-N.txt"; a change of the hash needs a new pair.
    const std::string first = "file-1122288.txt", second = "file-1271906.txt";
    const auto bits = [](const std::string& name) {
        const std::uint64_t key = NameTable::keyOf(name);
        return std::uint64_t{NameHashIndex::tagOf(key)} << 5 | (key & 31);
    };
    ASSERT_EQ(bits(first), bits(second));
    NameTable names;
    const std::uint32_t a = names.intern(first), b = names.intern(second);
    EXPECT_NE(a, b);
    EXPECT_EQ(names.intern(second), b);
    EXPECT_EQ(names.intern(first), a);
    EXPECT_EQ(names.uniqueCount(), 2);
}

// Interning from many threads while others read: every distinct name gets exactly one id,
// and a reader never sees a torn or moved name. Run under ThreadSanitizer as well.
TEST(NameTableConcurrency, InternFromEightThreadsWhileReading) {
    NameTable names;
    constexpr int writers = 8, perWriter = 4000;
    std::vector<std::map<std::string, std::uint32_t>> seen(writers);
    std::atomic<bool> done{false};
    std::atomic<long> readerChecks{0};

    auto reader = [&] {
        while (!done.load()) {
            for (std::size_t s = 0; s < names.shardsCount(); ++s) {
                const auto& shard = names.shard(s);
                const std::uint32_t count = shard.nameCount();
                for (std::uint32_t p = 0; p < count; ++p) {
                    const auto lower = shard.foldedBytes(p);
                    ASSERT_EQ(Unicode::folded(shard.displayBytes(p)), lower);
                    readerChecks.fetch_add(1, std::memory_order_relaxed);
                }
            }
        }
    };
    std::vector<std::thread> threads;
    for (int r = 0; r < 2; ++r)
        threads.emplace_back(reader);
    std::vector<std::thread> writersThreads;
    for (int w = 0; w < writers; ++w) {
        writersThreads.emplace_back([&, w] {
            for (int i = 0; i < perWriter; ++i) {
                // Every writer interns the same overlapping names, in a different order.
                const int n = (i * 7919 + w * 1013) % perWriter;
                std::string name = (n % 3 == 0 ? "Résumé " : "name-") + std::to_string(n);
                seen[w][name] = names.intern(name);
            }
        });
    }
    for (auto& t : writersThreads)
        t.join();
    done = true;
    for (auto& t : threads)
        t.join();

    std::set<std::uint32_t> distinct;
    for (const auto& [name, id] : seen[0]) {
        for (int w = 1; w < writers; ++w)
            ASSERT_EQ(seen[w].at(name), id) << name;
        EXPECT_EQ(names.displayBytes(id), name);
        distinct.insert(id);
    }
    EXPECT_EQ(distinct.size(), seen[0].size());
    EXPECT_EQ(names.uniqueCount(), static_cast<std::int64_t>(seen[0].size()));
    EXPECT_GT(readerChecks.load(), 0);
    names.releaseRetired();
    EXPECT_EQ(names.checkInvariants(), "");
}

} // namespace
} // namespace vesko
