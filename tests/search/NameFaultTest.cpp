// SPDX-License-Identifier: GPL-3.0-or-later
// Names a file system allows and a user rarely types: control characters, bytes that are
// no UTF-8, and the longest names (255 bytes) in one-, two- and three-byte characters. Each
// goes through the scan, the archive and a search, and must come out whole at every step.
#include "index/IndexArchive.h"
#include "index/Unicode.h"
#include "scan/IndexBuilder.h"
#include "search/Search.h"

#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vesko {
namespace {

struct NameCase {
    const char* label;
    std::string name;  // raw bytes, created below the root
    std::string query; // finds this name and no other
};

std::string repeat(std::string_view unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += unit;
    return text;
}

const std::vector<NameCase>& cases() {
    static const std::vector<NameCase> all = {
        {"Newline", "first line\nq1 second line.txt", "q1 second"},
        {"LeadingNewlineAndTab", "\n\tq2", "q2"},
        {"InvalidBytes", "q3-\xFF\xFE.bin", "q3-"},
        {"CutSequence", "q4-caf\xC3", "q4-caf"},
        {"OverlongAndSurrogate", "q5-\xC0\xAF\xED\xA0\x80", "q5-"},
        {"Ascii255", "q6" + std::string(253, 'a'), "q6" + std::string(253, 'A')},
        {"Hangul255", "q7-" + repeat("한", 84), "q7-" + repeat("한", 84)},
        {"TwoByte255", "q8a" + repeat("é", 126), "Q8A" + repeat("É", 126)},
        // "İ" lowercases to "i" and a combining dot: the lowercase form is 381 bytes.
        {"LowercaseLongerThan255", "q9-" + repeat("İ", 126), "q9-" + repeat("İ", 126)},
        {"Invalid255", "q10" + std::string(252, '\xFF'), "q10"},
        // Decomposed: 255 bytes that compose to 171; the query is typed composed.
        {"Decomposed255", "q11" + repeat("e\xCC\x81", 84), "Q11" + repeat("É", 84)},
    };
    return all;
}

// Each name is stored with its bytes (the display form keeps them), its path names the
// file itself rather than its repaired spelling, and its query finds it alone.
void expectWhole(const FileIndex& index, const NameTable& names, const std::string& root) {
    for (const NameCase& c : cases()) {
        SCOPED_TRACE(c.label);
        std::vector<std::int64_t> entries;
        for (std::int64_t i = 0; i < index.count(); ++i)
            if (names.displayBytes(index.entryName[static_cast<std::size_t>(i)]) == c.name)
                entries.push_back(i);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(index.path(entries[0], names), root + "/" + c.name);
        Search::Request request;
        request.query = c.query;
        const Search::Result result = Search::run(request, index, names);
        EXPECT_FALSE(result.regexProblem);
        EXPECT_EQ(result.totalMatches, 1);
        ASSERT_EQ(result.hits.size(), 1u);
        EXPECT_EQ(result.hits[0].entry, entries[0]);
    }
}

TEST(NameFault, NamesSurviveScanArchiveAndSearch) {
    test::TempTree tree;
    for (const NameCase& c : cases())
        tree.file(c.name, "x");
    const auto built = IndexBuilder::build({tree.root()}, 2, std::make_shared<NameTable>());
    ASSERT_FALSE(built.error) << *built.error;
    ASSERT_EQ(built.report.deniedDirectories, 0);
    ASSERT_EQ(built.report.entries, std::ssize(cases()));
    {
        SCOPED_TRACE("scanned");
        expectWhole(built.index, *built.names, tree.root());
    }
    const std::string archive = tree.path("index.veskoindex");
    ASSERT_EQ(IndexArchive::save(built.index, *built.names, 7, 0, archive), std::nullopt);
    const auto loaded = IndexArchive::load(IndexBuilder::normalize({tree.root()}), archive);
    ASSERT_TRUE(loaded) << "the saved archive did not load";
    SCOPED_TRACE("loaded from the archive");
    expectWhole(loaded->index, *loaded->names, tree.root());
}

} // namespace
} // namespace vesko
