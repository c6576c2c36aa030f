// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SavedSearch.h"

#include "support/TempTree.h"

#include "ActionTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>

namespace vesko {
namespace {

using test::readFile;

class SavedSearchTest : public testing::Test {
protected:
    test::TempTree tree;
    std::string file = tree.path("vesko.conf");
    int copies = 0;
};

TEST_F(SavedSearchTest, ListSurvivesTheFileInOrderWithUpperCaseIdsAndRemovalSparesBuiltIns) {
    Filters pdfs;
    pdfs.kind = Filters::Kind::filesOnly;
    pdfs.extensions = "pdf, \"odt\"";
    pdfs.minimumSize = 1.5;
    pdfs.modified = Filters::DateRange::lastWeek;
    pdfs.matchDiacritics = true;
    const ResultSort bySize{ResultSort::Field::size, false};
    std::vector<SavedSearch> saved;
    {
        Settings settings(file);
        SavedSearches searches(settings);
        EXPECT_FALSE(searches.add(" \n\t ", "ignored", {}, {}));
        saved.push_back(*searches.add("  Reports  ", "report | 보고서", pdfs, bySize));
        saved.push_back(*searches.add("Reports", "a, \"b\"\n", {}, {}));
        EXPECT_EQ(saved[0].name, "Reports");
        EXPECT_NE(saved[0].id, saved[1].id);
        ASSERT_TRUE(settings.sync());
    }
    Settings again(test::reopened(tree, file));
    EXPECT_EQ(SavedSearches(again).list(), saved);

    const auto stored =
        QJsonDocument::fromJson(QByteArray::fromStdString(again.text("savedSearches")));
    const QJsonObject first = stored.array().at(0).toObject();
    EXPECT_EQ(first.keys(), (QStringList{"filters", "id", "isBuiltIn", "name", "query", "sort"}));
    EXPECT_EQ(first["id"].toString(), saved[0].id.toString(QUuid::WithoutBraces).toUpper());

    SavedSearches searches(again);
    SavedSearch builtIn = saved[0];
    builtIn.isBuiltIn = true;
    searches.remove(builtIn);
    EXPECT_EQ(searches.list().size(), 2u);
    searches.remove(saved[0]);
    ASSERT_EQ(searches.list().size(), 1u);
    EXPECT_EQ(searches.list()[0].id, saved[1].id);
    EXPECT_EQ(again.text("savedSearches").find(first["id"].toString().toStdString()),
              std::string::npos);
    // Duplicated ids (a hand-edited file) go together; built-in entries are never stored.
    auto list = SavedSearch::decode(SavedSearch::encode({saved[1], saved[1], builtIn}));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 2u);
}

TEST_F(SavedSearchTest, AnUndecodableStoreReadsAsEmptyAndStaysUntilTheListChanges) {
    const std::string valid =
        SavedSearch::encode({SavedSearch{QUuid::createUuid(), "n", "q", {}, {}, false}})
            .toStdString();
    const std::string missingKey =
        std::string(valid).replace(valid.find(",\"isBuiltIn\":false"), 18, "");
    const std::string badId = std::string(valid).replace(valid.find("\"id\":\"") + 6, 4, "zzzz");
    const std::string badSort = std::string(valid).replace(valid.find("relevance"), 9, "colour");
    const std::string badFilter =
        std::string(valid).replace(valid.find("\"kind\":\"all\""), 12, "\"kind\":7");
    const std::vector<std::string> corrupt = {"not json",  "{}",       "[1]", "[{\"id\":null}]",
                                              valid + "x", missingKey, badId, badSort,
                                              badFilter};
    ASSERT_TRUE(SavedSearch::decode(QByteArray::fromStdString(valid)));
    for (const auto& stored : corrupt) {
        EXPECT_FALSE(SavedSearch::decode(QByteArray::fromStdString(stored))) << stored;
        const std::string path = tree.path("corrupt" + std::to_string(++copies) + ".conf");
        {
            Settings settings(path);
            settings.setText("savedSearches", stored);
            ASSERT_TRUE(settings.sync());
        }
        const std::string before = readFile(path);
        {
            Settings settings(path);
            EXPECT_TRUE(SavedSearches(settings).list().empty()) << stored;
            ASSERT_TRUE(settings.sync());
        }
        EXPECT_EQ(readFile(path), before) << stored;
    }
    Settings settings(tree.path("corrupt1.conf"));
    SavedSearches searches(settings);
    searches.add("fresh", "q", {}, {});
    EXPECT_EQ(
        SavedSearch::decode(QByteArray::fromStdString(settings.text("savedSearches")))->size(), 1u);
}

} // namespace
} // namespace vesko
